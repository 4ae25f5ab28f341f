#include "designtime/FillaheadPage.h"

#include "platform/AutomationError.h"

namespace fillahead {

namespace {

// Sets a flag for the rest of a scope, also when the scope is left by an
// error.
class Raised {
public:
    explicit Raised(bool& flag) : flag_(flag), before_(flag) { flag_ = true; }
    ~Raised() { flag_ = before_; }
    Raised(const Raised&) = delete;
    Raised& operator=(const Raised&) = delete;

private:
    bool& flag_;
    bool before_;
};

bool isTextBox(PageField field) {
    return FieldInfo(field).kind == PageFieldKind::TextBox;
}

} // namespace

Text DialogLabel(const PageFieldInfo& info) {
    Text label;
    bool marked = info.accessKey == 0;
    for (const char16_t* c = info.label; *c != 0; ++c) {
        if (!marked && *c == info.accessKey) {
            label += u'&';
            marked = true;
        }
        if (*c == u'&') {
            label += u'&';
        }
        label += *c;
    }
    return label;
}

FillaheadPage::FillaheadPage(PageFrame& frame, std::shared_ptr<FileChooser> chooser)
    : frame_(frame), chooser_(std::move(chooser)) {}

void FillaheadPage::SelectionChanged() {
    if (frame_.SelectedCount() == 0) {
        return;
    }
    {
        const Raised writing(writing_);
        const auto fill = [this](PageField field) {
            frame_.SetFieldText(field,
                                frame_.GetSelectedProperty(0, FieldInfo(field).property).toText());
        };
        fill(PageField::txtBuddyControl);
        fill(PageField::txtControlGroupName);
        fill(PageField::txtGlobalBufferSize);
        fill(PageField::txtPrivateBufferSize);
        fill(PageField::txtGlobalBufferLocation);
        fill(PageField::txtPrivateBufferLocation);
        const bool capture =
            frame_.GetSelectedProperty(0, FieldInfo(PageField::chkCaptureReturnKey).property)
                .toBoolean();
        frame_.SetCheckBoxValue(PageField::chkCaptureReturnKey, capture ? vbChecked : vbUnchecked);
    }
    setChanged(false);
}

void FillaheadPage::ApplyChanges() {
    if (frame_.SelectedCount() > 0) {
        const auto write = [this](PageField field) {
            frame_.LetSelectedProperty(0, FieldInfo(field).property,
                                       Variant(frame_.FieldText(field)));
        };
        write(PageField::txtBuddyControl);
        write(PageField::txtControlGroupName);
        write(PageField::txtGlobalBufferSize);
        write(PageField::txtPrivateBufferSize);
        write(PageField::txtGlobalBufferLocation);
        write(PageField::txtPrivateBufferLocation);
        const bool checked = frame_.CheckBoxValue(PageField::chkCaptureReturnKey) == vbChecked;
        frame_.LetSelectedProperty(0, FieldInfo(PageField::chkCaptureReturnKey).property,
                                   Variant(checked));
    }
    setChanged(false);
}

void FillaheadPage::TextChange(PageField field) {
    if (!writing_ && isTextBox(field)) {
        setChanged(true);
    }
}

void FillaheadPage::Click(PageField field) {
    switch (field) {
    case PageField::cmdPublic:
        cmdPublic_Click();
        break;
    case PageField::cmdPrivate:
        cmdPrivate_Click();
        break;
    case PageField::chkCaptureReturnKey:
        if (!writing_) {
            setChanged(true);
        }
        break;
    default:
        break;
    }
}

void FillaheadPage::browse(PageField location) {
    // Each step on its own: a failing one leaves the text box as it was.
    Text original;
    ignoreErrors([&] { original = frame_.FieldText(location); });
    Text path = original;
    if (!path.empty() && path.back() == u'\\') {
        path.pop_back();
    }
    ignoreErrors([&] {
        if (!dialog_) {
            dialog_ = std::make_unique<FileCommonDialog>(chooser_);
        }
    });
    // Owned by the page, the dialog keeps the frame from closing the page
    // while it is open.
    ignoreErrors([&] {
        const WindowHandle window = frame_.PageWindow();
        if (dialog_) {
            dialog_->OwnerWindow = window != 0 ? window : -1;
        }
    });
    bool chosen = false;
    ignoreErrors([&] {
        Text title;
        chosen = dialog_ && dialog_->OpenFile(path, title);
    });
    if (!chosen) {
        return;
    }
    ignoreErrors([&] {
        {
            const Raised writing(writing_);
            frame_.SetFieldText(location, path);
        }
        if (path != original) {
            setChanged(true);
        }
    });
    ignoreErrors([&] { frame_.SetFocus(location); });
}

void FillaheadPage::setChanged(bool changed) {
    if (changed_ != changed) {
        changed_ = changed;
        frame_.ChangedStatus(changed);
    }
}

} // namespace fillahead
