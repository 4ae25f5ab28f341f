// The table of persisted properties: a bag written through it reads back the
// same, a missing key falls to its default, values equal to their default
// stay out of the bag unless always written, and the keys and defaults are
// those that stored bags and settings already hold.
#include "platform/PersistedProperties.h"

#include "platform/AutomationError.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

namespace fillahead {
namespace {

constexpr char16_t kLocation[] = u"C:\\Common\\Fillahead";

// A value of the property's type that is not its default.
Variant otherThanDefault(const PersistedProperty& property) {
    switch (property.type) {
    case PropertyType::Text:
        return Variant(Text(u"x-") + property.name);
    case PropertyType::Long:
        return Variant(property.defaultNumber + 5);
    case PropertyType::Boolean:
        return Variant(property.defaultNumber == 0);
    case PropertyType::Object:
        break;
    }
    return Variant(std::shared_ptr<Object>(std::make_shared<MemoryPropertyBag>()));
}

bool inBag(const PersistedProperty& property) {
    return property.home != PropertyHome::UserSettings;
}

TEST(PersistedProperties, KeysAndDefaultsAreThoseOfStoredBags) {
    std::string rendered;
    for (const PersistedProperty& property : kPersistedProperties) {
        EXPECT_EQ(&Persisted(property.id), &property) << toUtf8(property.name);
        rendered += toUtf8(property.name) + "=" +
                    (property.type == PropertyType::Object
                         ? std::string("(object)")
                         : toUtf8(DefaultOf(property, kLocation).toText())) +
                    (property.alwaysWritten ? " always" : "") + "\n";
    }
    EXPECT_EQ(rendered, "PrivateBufferLocation=C:\\Common\\Fillahead\n"
                        "GlobalBufferLocation=C:\\Common\\Fillahead\n"
                        "MaxDisplayRows=8\n"
                        "PrivateBufferSize=1\n"
                        "GlobalBufferSize=1\n"
                        "BufferUsage=0\n"
                        "BuddyControl=\n"
                        "ControlGroupName= always\n"
                        "ListField=SavedStringField always\n"
                        "BoundColumn=SavedStringField always\n"
                        "Fillahead=(object)\n"
                        "CaptureReturnKey=False always\n");
    EXPECT_EQ(FindPersisted(u"maxdisplayrows"), &Persisted(PersistedId::MaxDisplayRows));
    EXPECT_EQ(FindPersisted(u"Visible"), nullptr);
}

TEST(PersistedProperties, ABagRoundTripsThroughTheTableAndMissingKeysFallToTheirDefaults) {
    MemoryPropertyBag bag;
    for (const PersistedProperty& property : kPersistedProperties) {
        if (inBag(property)) {
            WritePersisted(bag, property, otherThanDefault(property), kLocation);
        }
    }
    for (const PersistedProperty& property : kPersistedProperties) {
        if (inBag(property) && property.type != PropertyType::Object) {
            EXPECT_EQ(ReadPersisted(bag, property, kLocation), otherThanDefault(property))
                << toUtf8(property.name);
        }
    }
    // The nested object comes back as the bag that was written.
    EXPECT_TRUE(std::dynamic_pointer_cast<MemoryPropertyBag>(
        ReadPersisted(bag, Persisted(PersistedId::Fillahead)).toObject()));

    MemoryPropertyBag empty;
    for (const PersistedProperty& property : kPersistedProperties) {
        const Variant read = ReadPersisted(empty, property, kLocation);
        if (property.type == PropertyType::Object) {
            EXPECT_FALSE(read.toObject());
        } else {
            EXPECT_EQ(read, DefaultOf(property, kLocation)) << toUtf8(property.name);
            EXPECT_EQ(read.type(), DefaultOf(property, kLocation).type());
        }
    }
}

TEST(PersistedProperties, DefaultsStayOutOfTheBagUnlessAlwaysWritten) {
    MemoryPropertyBag bag;
    for (const PersistedProperty& property : kPersistedProperties) {
        if (inBag(property)) {
            WritePersisted(bag, property, DefaultOf(property, kLocation), kLocation);
        }
    }
    EXPECT_EQ(bag.Render(), "ControlGroupName=\n"
                            "ListField=SavedStringField\n"
                            "BoundColumn=SavedStringField\n"
                            "CaptureReturnKey=False\n");
}

TEST(PersistedProperties, StoredValuesAreConvertedToTheirTypeOrRefused) {
    MemoryPropertyBag bag;
    bag.Set(u"MaxDisplayRows", u" 12 ");
    bag.Set(u"CaptureReturnKey", u"true");
    bag.Set(u"PrivateBufferSize", u"lots");
    EXPECT_EQ(ReadPersisted(bag, Persisted(PersistedId::MaxDisplayRows)).type(), VariantType::Long);
    EXPECT_EQ(ReadPersisted(bag, Persisted(PersistedId::MaxDisplayRows)).toLong(), 12);
    EXPECT_EQ(ReadPersisted(bag, Persisted(PersistedId::CaptureReturnKey)), Variant(true));
    try {
        ReadPersisted(bag, Persisted(PersistedId::PrivateBufferSize));
        FAIL() << "a size that is not a number was read";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), error::TypeMismatch);
    }
    // The settings store keeps the sizes as their decimal text.
    const PersistedProperty& size = Persisted(PersistedId::GlobalBufferSize);
    EXPECT_EQ(SettingsTextOf(size, Variant(-7)), u"-7");
    EXPECT_EQ(SettingsDefaultOf(size), u"1");
}

TEST(PersistedProperties, NoticesFollowTheTable) {
    EXPECT_TRUE(SendsNotice(Persisted(PersistedId::ControlGroupName), false));
    EXPECT_FALSE(SendsNotice(Persisted(PersistedId::ListField), false));
    EXPECT_TRUE(SendsNotice(Persisted(PersistedId::ListField), true));
    EXPECT_FALSE(SendsNotice(Persisted(PersistedId::CaptureReturnKey), true));
}

} // namespace
} // namespace fillahead
