// A host's own record set, reached only through IDispatch (no type
// information, members found by GetIDsOfNames), driving the engine in
// data-bound mode: typing filters the host's rows, a stored value goes into
// the host's record set through AddNew and Update, the host's errors arrive
// with its number and description, and the library hands the host's object
// back as the engine's Recordset.
#include "library/DispatchRecordset.h"

#include <windows.h>

#include "library/Conversions.h"
#include "library/RecordsetObject.h"
#include "tests/engine/EngineHarness.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fillahead::library {
namespace {

using fillahead::testing::EngineHarness;

// An automation object made of named members. A member gets its arguments
// in order (the value last for a put) and fills the result; an
// AutomationError it raises goes back as the object's exception. Lives on
// the test's stack: reference counts are not kept.
class ScriptObject : public IDispatch {
public:
    using Member =
        std::function<void(WORD flags, std::vector<Variant>& arguments, VARIANT* result)>;

    void add(const std::wstring& name, Member member) {
        ids_[name] = static_cast<DISPID>(members_.size() + 1);
        members_.push_back(std::move(member));
    }
    void remove(const std::wstring& name) { ids_.erase(name); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out =
            (iid == IID_IUnknown || iid == IID_IDispatch) ? static_cast<IDispatch*>(this) : nullptr;
        return *out != nullptr ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                            DISPID* ids) override {
        for (const auto& [name, id] : ids_) {
            if (_wcsicmp(name.c_str(), names[0]) == 0) {
                ids[0] = id;
                return S_OK;
            }
        }
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT*) override {
        if (id < 1 || static_cast<std::size_t>(id) > members_.size()) {
            return DISP_E_MEMBERNOTFOUND;
        }
        std::vector<Variant> arguments;
        for (UINT i = params->cArgs; i > 0; --i) {
            arguments.push_back(VariantOf(params->rgvarg[i - 1]));
        }
        VARIANT ignored;
        VariantInit(&ignored);
        VARIANT* out = result != nullptr ? result : &ignored;
        VariantInit(out);
        try {
            members_[static_cast<std::size_t>(id - 1)](flags, arguments, out);
        } catch (const AutomationError& error) {
            *exception = EXCEPINFO{};
            exception->scode = static_cast<SCODE>(0x800A0000u | (error.number() & 0xFFFF));
            exception->bstrDescription = ToBstr(error.description());
            return DISP_E_EXCEPTION;
        }
        VariantClear(&ignored);
        return S_OK;
    }

private:
    std::map<std::wstring, DISPID> ids_;
    std::vector<Member> members_;
};

void put(VARIANT* out, const Variant& value) {
    ToVariant(value, out);
}

void put(VARIANT* out, IDispatch* object) {
    V_VT(out) = VT_DISPATCH;
    V_DISPATCH(out) = object;
    object->AddRef();
}

bool isPut(WORD flags) {
    return (flags & DISPATCH_PROPERTYPUT) != 0;
}

// A data-access record set of the host over an in-memory table, with string
// bookmarks of its own ("row 1", ...), that logs the calls that change it
// and fails a member on request with the host's error.
class HostRecordset {
public:
    ScriptObject recordset;
    ScriptObject fields;
    std::map<std::wstring, std::unique_ptr<ScriptObject>> fieldObjects;
    MemoryRecordset rows;
    std::vector<std::string> log;
    std::map<std::string, AutomationError> failing;
    // AbsolutePosition can be read only.
    bool positionFixed = false;

    HostRecordset() {
        member(recordset, L"State", [&](WORD, auto&, VARIANT* out) { put(out, rows.State()); });
        member(recordset, L"Fields", [&](WORD, auto&, VARIANT* out) { put(out, &fields); });
        member(recordset, L"Filter", [&](WORD flags, std::vector<Variant>& a, VARIANT* out) {
            if (!isPut(flags)) {
                put(out, rows.Filter());
                return;
            }
            record("Filter=" + toUtf8(a[0].toText()));
            if (a[0].type() == VariantType::Text) {
                rows.SetFilter(a[0].toText());
            } else {
                rows.SetFilter(a[0].toLong());
            }
        });
        member(recordset, L"RecordCount",
               [&](WORD, auto&, VARIANT* out) { put(out, rows.RecordCount()); });
        member(recordset, L"AbsolutePosition", [&](WORD flags, auto& a, VARIANT* out) {
            if (isPut(flags) && positionFixed) {
                throw AutomationError(error::NotSupported);
            }
            if (isPut(flags)) {
                rows.SetAbsolutePosition(a[0].toLong());
            } else {
                put(out, rows.AbsolutePosition());
            }
        });
        member(recordset, L"BOF", [&](WORD, auto&, VARIANT* out) { put(out, rows.IsBOF()); });
        member(recordset, L"EOF", [&](WORD, auto&, VARIANT* out) { put(out, rows.IsEOF()); });
        member(recordset, L"Bookmark", [&](WORD flags, auto& a, VARIANT* out) {
            if (isPut(flags)) {
                const std::string text = toUtf8(a[0].toText());
                rows.MoveToBookmark(static_cast<Bookmark>(std::stoul(text.substr(4))));
                return;
            }
            const auto current = rows.CurrentBookmark();
            if (!current) {
                throw AutomationError(error::NoCurrentRecord);
            }
            put(out, Variant(u"row " + toText(static_cast<std::int32_t>(*current))));
        });
        logged(L"Open", [&](auto& a) {
            if (a.empty()) {
                rows.Open();
            } else {
                rows.Open(a[0].toText());
            }
        });
        logged(L"Close", [&](auto&) { rows.Close(); });
        logged(L"Save", [&](auto& a) { rows.Save(a[0].toText(), a[1].toLong()); });
        logged(L"AddNew", [&](auto& a) { rows.AddNew(a[0].toText(), a[1]); });
        logged(L"Update", [&](auto&) { rows.Update(); });
        logged(L"Delete", [&](auto& a) { rows.Delete(a[0].toLong()); });
        logged(L"MoveFirst", [&](auto&) { rows.MoveFirst(); });
        logged(L"MoveNext", [&](auto&) { rows.MoveNext(); });
        logged(L"MoveLast", [&](auto&) { rows.MoveLast(); });

        member(fields, L"Count", [&](WORD, auto&, VARIANT* out) {
            put(out, static_cast<std::int32_t>(rows.FieldCount()));
        });
        member(fields, L"Item", [&](WORD, std::vector<Variant>& a, VARIANT* out) {
            const Text name = a[0].type() == VariantType::Text
                                  ? a[0].toText()
                                  : rows.Field(static_cast<std::size_t>(a[0].toLong())).name;
            if (!rows.FindField(name)) {
                throw AutomationError(error::ItemNotFound);
            }
            put(out, &fieldObject(name));
        });
        member(fields, L"Append", [&](WORD, std::vector<Variant>& a, VARIANT*) {
            record("Append(" + toUtf8(a[0].toText()) + ")");
            rows.AppendField({a[0].toText(), a[1].toLong(), a[2].toLong(), a[3].toLong()});
        });
    }

    // Opens the table with one field and these rows, the log emptied.
    void fill(const std::string& field, const std::vector<std::string>& values) {
        rows.AppendField({fromUtf8(field), 8, 255, -1});
        rows.Open();
        for (const std::string& value : values) {
            rows.AddNew(fromUtf8(field), fromUtf8(value));
        }
        rows.MoveFirst();
        log.clear();
    }

    std::string takeLog() {
        std::string joined;
        for (const std::string& entry : log) {
            joined += (joined.empty() ? "" : " ") + entry;
        }
        log.clear();
        return joined;
    }

    std::string values() {
        std::string joined;
        for (std::int32_t i = 0; i < rows.RecordCount(); ++i) {
            joined += (i > 0 ? "," : "") + toUtf8(rows.ValueAt(rows.BookmarkAt(i), 0).toText());
        }
        return joined;
    }

private:
    void record(const std::string& entry) {
        log.push_back(entry);
        if (const auto failure = failing.find(entry.substr(0, entry.find_first_of("(=")));
            failure != failing.end()) {
            throw failure->second;
        }
    }
    void member(ScriptObject& object, const wchar_t* name, ScriptObject::Member body) {
        object.add(name, std::move(body));
    }
    void logged(const wchar_t* name, std::function<void(std::vector<Variant>&)> body) {
        const std::wstring member(name);
        recordset.add(member, [this, member, body](WORD, std::vector<Variant>& a, VARIANT*) {
            std::string entry(member.begin(), member.end());
            if (!a.empty()) {
                entry += "(";
                for (std::size_t i = 0; i < a.size(); ++i) {
                    entry += (i > 0 ? "," : "") + (a[i].isNull() ? "Null" : toUtf8(a[i].toText()));
                }
                entry += ")";
            }
            record(entry);
            body(a);
        });
    }
    ScriptObject& fieldObject(const Text& name) {
        std::wstring key(name.begin(), name.end());
        auto& object = fieldObjects[key];
        if (!object) {
            object = std::make_unique<ScriptObject>();
            object->add(L"Name", [name](WORD, auto&, VARIANT* out) { put(out, Variant(name)); });
            object->add(L"Value", [this, name](WORD flags, std::vector<Variant>& a, VARIANT* out) {
                if (isPut(flags)) {
                    record("Value=" + toUtf8(a[0].toText()));
                    rows.SetFieldValue(name, a[0]);
                } else {
                    put(out, rows.FieldValue(name));
                }
            });
        }
        return *object;
    }
};

// What the engine's list shows, joined by commas.
std::string listed(Fillahead& engine) {
    DataGrid& grid = engine.listWindow()->DataGrid();
    std::string joined;
    for (std::int32_t row = 0; row < grid.VisibleRows(); ++row) {
        joined += (row > 0 ? "," : "") +
                  toUtf8(grid.Columns(0).CellValue(grid.RowBookmark(row)).toText());
    }
    return joined;
}

struct DataBound {
    HostRecordset host;
    EngineHarness h;
    Fillahead& engine = h.fresh();

    explicit DataBound(const std::vector<std::string>& cities) {
        host.fill("City", cities);
        engine.LetListField(u"City");
        engine.SetRecordset(RecordsetOf(&host.recordset));
        engine.OnControlChange(u"Text1", u"");
        host.takeLog();
        h.sink.events.clear();
    }
};

TEST(DispatchRecordset, TypingFiltersTheHostsRowsAndAKeyTakesOne) {
    DataBound bound({"London", "Paris", "Lisbon", "Oslo"});
    bound.h.type("l");
    EXPECT_EQ(bound.host.takeLog().rfind("Filter=[City] Like '*l*'", 0), 0u);
    EXPECT_EQ(listed(bound.engine), "London,Lisbon,Oslo");
    EXPECT_TRUE(bound.engine.Visible());

    bound.h.type("li");
    EXPECT_EQ(listed(bound.engine), "Lisbon");
    bound.h.press(vk::Down);
    bound.h.press(vk::Return);
    EXPECT_EQ(bound.h.sink.take(), "BeforeListShow TextChange(Lisbon)");
    // The host's own rows are all still there.
    bound.host.rows.SetFilter(0);
    EXPECT_EQ(bound.host.values(), "London,Paris,Lisbon,Oslo");
}

TEST(DispatchRecordset, RowsAreReadByPositionWhereTheHostHasNoBookmarks) {
    DataBound bound({"Anna", "Bert", "Anton", "Carla", "Antje"});
    bound.host.recordset.remove(L"Bookmark");
    bound.host.positionFixed = true;
    bound.h.type("an");
    EXPECT_EQ(listed(bound.engine), "Anna,Anton,Antje");
    bound.h.press(vk::Down);
    bound.h.press(vk::Down);
    bound.h.press(vk::Down);
    bound.h.press(vk::Return);
    EXPECT_EQ(bound.h.sink.take(), "BeforeListShow TextChange(Antje)");
}

TEST(DispatchRecordset, AStoredValueGoesIntoTheHostsRecordSetThroughAddNewAndUpdate) {
    DataBound bound({"London"});
    bound.h.type("Berlin");
    bound.host.takeLog();
    bound.engine.CloseList();
    const std::string file = toUtf8(bound.engine.bufferPath());
    // The buffer logic takes the host's object for the buffer file, which
    // is not there yet: a new, empty buffer with the list field.
    const std::string log = bound.host.takeLog();
    EXPECT_EQ(log.rfind("Close Append(City) Open Filter=[City] = 'Berlin' ", 0), 0u) << log;
    EXPECT_NE(log.find("AddNew(City,Berlin) Value=Berlin Update"), std::string::npos) << log;
    EXPECT_NE(log.find("Save(" + file + ",1) Filter=0"), std::string::npos) << log;
    EXPECT_EQ(bound.host.values(), "Berlin");
    EXPECT_EQ(EngineHarness::valuesOf(bound.engine.bufferPath()), "Berlin");
    // The engine's Recordset is still the host's object.
    EXPECT_EQ(RecordsetDispatch(bound.engine.Recordset()).Get(),
              static_cast<IDispatch*>(&bound.host.recordset));
}

TEST(DispatchRecordset, TheHostsErrorsArriveWithItsNumberAndDescription) {
    DataBound bound({"London"});
    bound.host.failing.emplace("Update", AutomationError(3640, u"The rows are read-only here"));
    bound.h.type("Berlin");
    try {
        bound.engine.CloseList();
        FAIL() << "the host's refusal was swallowed";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), 3640);
        EXPECT_EQ(e.description(), u"The rows are read-only here");
    }
    EXPECT_EQ(EngineHarness::valuesOf(bound.engine.bufferPath()), "missing");

    // A field the host does not have: its own 3265.
    bound.engine.LetBoundColumn(u"Country");
    try {
        (void)bound.engine.BoundText();
        FAIL() << "a missing field was read";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), error::ItemNotFound);
    }
}

TEST(DispatchRecordset, OnlyObjectsWithARecordSetsMembersAreTaken) {
    HostRecordset host;
    host.fill("City", {"London"});
    const std::shared_ptr<fillahead::Recordset> taken = RecordsetOf(&host.recordset);
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(taken->FieldValue(u"City"), Variant(u"London"));
    EXPECT_EQ(RecordsetDispatch(taken).Get(), static_cast<IDispatch*>(&host.recordset));
    // Ours still comes back as ours.
    const auto ours = std::make_shared<MemoryRecordset>();
    EXPECT_EQ(RecordsetOf(RecordsetDispatch(ours).Get()), ours);
    EXPECT_EQ(RecordsetOf(nullptr), nullptr);

    ScriptObject dictionary;
    dictionary.add(L"Count", [](WORD, auto&, VARIANT* out) { put(out, Variant(0)); });
    try {
        RecordsetOf(&dictionary);
        FAIL() << "an object that is no record set was taken";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), error::TypeMismatch);
    }
}

} // namespace
} // namespace fillahead::library
