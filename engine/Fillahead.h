// Fillahead: the completion engine. One engine serves one text control at a
// time: it remembers what the user typed (the history buffer, one XML file per
// control and group), filters those values while the user types, shows them in
// its list window under the control, lets the user move through them and take
// one, and stores the value when the control is left.
//
// A host drives it by forwarding focus changes (OnControlChange, CloseList),
// text changes (OnTextChange) and keys (OnKeyDown, OnKeyUp), and handles its
// events: TextChange carries a completed text for the host's control,
// BeforeListShow asks for the list's place (Left, Top, Width), and five events
// surround the storing of a value. A host may also hand over a record set of
// its own (Recordset, ListField, BoundColumn, BoundText).
//
// Property writers are named Let (values) and Set (the record set reference),
// after the automation accessors they stand for. Members that trap no errors
// raise AutomationError; OnTextChange, OnKeyDown and the list's mouse handling
// never raise. Everything runs on the host's user-interface thread; event
// handlers may call back into the engine.
//
// An engine is always owned through std::shared_ptr (Create is the only way
// to make one): a handler may drop the host's last reference in the middle of
// any call, and the engine keeps itself alive until that call returns.
//
// Several engines, in one program or in several, may share a buffer folder:
// storing a value works on the file as it is on disk at that moment, under a
// short lock that keeps two programs' updates of the folder apart.
#pragma once

#include "listwindow/frmList.h"
#include "platform/EventSource.h"
#include "platform/KeyCodes.h"
#include "platform/PersistedProperties.h"
#include "platform/PlatformServices.h"
#include "platform/PropertyBag.h"
#include "platform/Recordset.h"
#include "platform/Text.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace fillahead {

// BufferUsageEnum
inline constexpr std::int32_t bueGlobal = 0;
inline constexpr std::int32_t buePrivate = 1;
// FillaheadAlignmentConstants
inline constexpr std::int32_t fhalLeft = 0;
inline constexpr std::int32_t fhalRight = 1;
inline constexpr std::int32_t fhalCenter = 2;

// The field a fresh engine lists, matches and stores.
inline constexpr const char16_t* kDefaultListField = Persisted(PersistedId::ListField).defaultText;

// The engine's events (__Fillahead). Cancel arguments come in False and are
// read back after the handler. A handler that fails is reported to the
// swallowed-error observer and the engine goes on as if it had returned
// (platform/EventSource.h): a host's failure never tears a commit half-way
// nor keeps the other sinks from hearing the event.
class FillaheadEvents {
public:
    virtual ~FillaheadEvents() = default;
    virtual void TextChange(const Text& /*NewText*/) {}
    virtual void BeforeListShow() {}
    virtual void BeforeChangeRecordset() {}
    virtual void BeforeAddRecord(bool& /*Cancel*/) {}
    virtual void BeforeSaveRecord() {}
    virtual void AfterSaveRecord() {}
    virtual void BeforeOpenRecordset(bool& /*Cancel*/) {}
    virtual void BeforeSaveRecordset(bool& /*Cancel*/) {}
};

class Fillahead final : public Object,
                        public Persistable,
                        public DataGridEvents,
                        public std::enable_shared_from_this<Fillahead> {
    // Lets make_shared reach the constructor, and nobody else.
    struct ConstructionKey {
        explicit ConstructionKey() = default;
    };

public:
    static std::shared_ptr<Fillahead> Create(PlatformServices services = DefaultPlatformServices());
    Fillahead(ConstructionKey, PlatformServices services);
    ~Fillahead() override;
    Fillahead(const Fillahead&) = delete;
    Fillahead& operator=(const Fillahead&) = delete;

    // --- Initialisation and persistence: exactly one of InitProperties and
    // ReadProperties runs on a new engine. ---
    // A new engine: every setting to its default, errors ignored.
    void InitProperties();
    // Settings restored from a bag; a value that cannot be converted raises.
    void ReadProperties(PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) override;

    // Events and the change notice. A sink stays connected until it is
    // disconnected; it must be disconnected before it dies.
    void Advise(FillaheadEvents* sink) { events_.Connect(sink); }
    void Unadvise(FillaheadEvents* sink) { events_.Disconnect(sink); }
    // Told the name of a persisted property whenever its Let runs.
    void SetPropertyChangedHandler(std::function<void(const fillahead::Text& name)> handler);

    // --- The members of _Fillahead, in interface order. ---
    const fillahead::Text& PrivateBufferLocation() const { return PrivateBufferLocation_; }
    void LetPrivateBufferLocation(TextView folder);
    const fillahead::Text& GlobalBufferLocation() const { return GlobalBufferLocation_; }
    void LetGlobalBufferLocation(TextView folder);
    void OnTextChange(TextView NewText);
    void OnKeyUp(std::int16_t& KeyCode, std::int16_t& Shift);
    void OnKeyDown(std::int16_t& KeyCode, std::int16_t& Shift);
    void OnControlChange(TextView CurrentControlName, TextView Text);
    void CloseList();
    std::int32_t Alignment() const { return Alignment_; }
    void LetAlignment(std::int32_t value) { Alignment_ = value; }
    std::uint32_t BackColor() const { return BackColor_; }
    void LetBackColor(std::uint32_t value) { BackColor_ = value; }
    float Left() const { return Left_; }
    void LetLeft(float value) { Left_ = value; }
    float Top() const { return Top_; }
    void LetTop(float value) { Top_ = value; }
    float Width() const { return Width_; }
    void LetWidth(float value) { Width_ = value; }
    float Height() const { return Height_; }
    void LetHeight(float value) { Height_ = value; }
    const fillahead::Text& CurrentControlName() const { return CurrentControlName_; }
    const fillahead::Text& Text() const { return Text_; }
    const fillahead::Text& ControlGroupName() const { return ControlGroupName_; }
    void LetControlGroupName(TextView value);
    std::int32_t MaxDisplayRows() const { return MaxDisplayRows_; }
    void LetMaxDisplayRows(std::int32_t value);
    std::int32_t PrivateBufferSize() const { return PrivateBufferSize_; }
    void LetPrivateBufferSize(std::int32_t megabytes);
    void LetBufferUsage(std::int32_t value);
    std::int32_t BufferUsage() const { return BufferUsage_; }
    std::int32_t GlobalBufferSize() const { return GlobalBufferSize_; }
    void LetGlobalBufferSize(std::int32_t megabytes);
    const fillahead::Text& BuddyControl() const { return BuddyControl_; }
    void LetBuddyControl(TextView value);
    WindowHandle hWnd() const;
    bool Visible() const;
    void About();
    const std::shared_ptr<fillahead::Recordset>& Recordset() const { return bufferRecordSet_; }
    void SetRecordset(std::shared_ptr<fillahead::Recordset> recordset);
    const fillahead::Text& ListField() const { return ListField_; }
    void LetListField(TextView value);
    const fillahead::Text& BoundColumn() const { return BoundColumn_; }
    void LetBoundColumn(TextView value);
    fillahead::Text BoundText() const;
    void LetBoundText(TextView value);

    // --- For hosts and tests that look inside. ---
    const fillahead::Text& bufferPath() const { return bufferPath_; }
    const fillahead::Text& openedBufferPath() const { return openedBufferPath_; }
    std::int32_t navigationRow() const { return navigationRow_; }
    bool listDismissed() const { return listDismissed_; }
    bool matchingEnabled() const { return matchingEnabled_; }
    frmList* listWindow() const { return listWindow_.get(); }
    // The common-files folder followed by the separator and "Fillahead".
    fillahead::Text DefaultBufferLocation() const;

    // The grid's mouse event: a click on a row takes that row.
    void DataGrid_MouseUp(std::int16_t Button, std::int16_t Shift, float X, float Y) override;

private:
    // Held for the whole of a public call that runs host code (events, the
    // change notice, the message-loop yield): a handler may drop the host's
    // last reference meanwhile.
    std::shared_ptr<Fillahead> keepAlive() { return weak_from_this().lock(); }
    void PrepareEngine();
    // The change notice of a Let, sent as the property's table entry says.
    void propertyChanged(PersistedId id, bool changed = true);
    // A persisted property's value, and its restoring from a stored or
    // default value (initialising: by InitProperties).
    Variant persistedValue(PersistedId id) const;
    void restore(const PersistedProperty& property, const Variant& value, bool initialising);
    // A property kept in the settings store: the stored setting, its
    // default when missing there; raises for one not of its type.
    Variant storedSetting(const PersistedProperty& property, TextView location) const;
    // Appends the folder separator when missing and creates the folder.
    fillahead::Text normalisedFolder(TextView folder);
    // The damaged buffer file of the current commit, kept aside: its error
    // is raised once the value is stored.
    using DamageReport = std::optional<AutomationError>;
    void loadBufferForCommit(DamageReport& damage);
    // Opens buffer on file: the file's rows, or an empty buffer with the
    // field ListField when there is no file. A damaged file is kept aside
    // and reported in damage.
    void openBufferFile(fillahead::Recordset& buffer, const fillahead::Text& file,
                        DamageReport& damage);
    // Stores Text_ in buffer, loaded from bufferPath_ just now or earlier.
    void commitText(std::shared_ptr<fillahead::Recordset> buffer, bool loadedNow,
                    DamageReport& damage);
    // Renames a damaged buffer file so that it is no buffer file any more;
    // returns the error to report. Raises refused when it cannot.
    AutomationError keepDamagedFileAside(const fillahead::Text& file,
                                         const DamagedFileError& refused);
    // Creates a folder and every missing folder above it.
    void createFolderPath(const fillahead::Text& folder);
    // Keeps folder within its limit; a damaged file met there is kept aside
    // and reported in damage.
    void trimBufferFolder(const fillahead::Text& folder, std::int32_t megabytes,
                          DamageReport& damage);
    void hideList();
    fillahead::Recordset& recordSet() const;
    fillahead::DataGrid& grid() const;
    frmList& window() const;

    // Raises one event on every connected sink, the engine kept alive while
    // the handlers run.
    template <typename Fire>
    void raise(Fire&& fire, const char* file = __builtin_FILE(), int line = __builtin_LINE());

    PlatformServices services_;

    // Settings (the persisted properties and the list's placement).
    fillahead::Text ListField_;
    fillahead::Text BoundColumn_;
    fillahead::Text ControlGroupName_;
    fillahead::Text PrivateBufferLocation_;
    fillahead::Text GlobalBufferLocation_;
    std::uint32_t BackColor_ = 0;
    float Left_ = 0;
    float Top_ = 0;
    float Width_ = 0;
    float Height_ = 0;
    std::int32_t Alignment_ = 0;
    std::int32_t PrivateBufferSize_ = 0;
    std::int32_t GlobalBufferSize_ = 0;
    std::int32_t MaxDisplayRows_ = 0;
    std::int32_t BufferUsage_ = 0;
    fillahead::Text BuddyControl_;

    // The working objects.
    std::shared_ptr<FileSystem> fileSystem_;
    std::shared_ptr<fillahead::Recordset> bufferRecordSet_;
    std::unique_ptr<frmList> listWindow_;
    fillahead::DataGrid* DataGrid_ = nullptr;

    // The state of the served control.
    fillahead::Text Text_;
    fillahead::Text CurrentControlName_;
    fillahead::Text bufferPath_;
    // Whether bufferPath_ lies in the private folder (its limit applies).
    bool bufferPathPrivate_ = false;
    fillahead::Text openedBufferPath_;
    // The buffer file whose values the record set holds, kept after
    // CloseList empties openedBufferPath_; empty while it holds a host's
    // record set or nothing.
    fillahead::Text heldBufferPath_;
    bool listDismissed_ = false;
    bool matchingEnabled_ = false;
    bool refilterPending_ = false;
    std::int32_t navigationRow_ = 0;

    EventSource<FillaheadEvents> events_;
    std::function<void(const fillahead::Text&)> propertyChanged_;
};

template <typename Fire>
void Fillahead::raise(Fire&& fire, const char* file, int line) {
    const std::shared_ptr<Fillahead> self = keepAlive();
    events_.Fire(std::forward<Fire>(fire), file, line);
}

} // namespace fillahead
