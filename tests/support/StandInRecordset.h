// A record set that is not ours, standing in for a host's own: rows in a
// plain list, bookmarks of its own numbering, only the two filters the
// engine builds, and files in a layout of its own (a line of field names,
// then a line per row, "|" between values, "~" for Null). It implements the
// data-access members only; the grid reads its rows through the interface's
// defaults, which move its current row and put it back. It logs the calls a
// host would notice: opening, closing and saving.
#pragma once

#include "platform/AutomationError.h"
#include "platform/Path.h"
#include "platform/Recordset.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fillahead::testing {

class StandInRecordset final : public Recordset {
public:
    std::vector<std::string> log;

    // The log since the last call, joined by spaces.
    std::string takeLog() {
        std::string joined;
        for (const std::string& entry : log) {
            joined += (joined.empty() ? "" : " ") + entry;
        }
        log.clear();
        return joined;
    }

    std::int32_t State() const override { return open_ ? kStateOpen : kStateClosed; }

    std::size_t FieldCount() const override { return fields_.size(); }
    FieldDefinition Field(std::size_t index) const override {
        if (index >= fields_.size()) {
            throw AutomationError(error::ItemNotFound);
        }
        return fields_[index];
    }
    void AppendField(const FieldDefinition& field) override {
        if (open_) {
            throw AutomationError(error::NotAllowedInContext);
        }
        if (FindField(field.name)) {
            throw AutomationError(error::AlreadyInCollection);
        }
        fields_.push_back(field);
    }

    void Open() override {
        if (open_ || fields_.empty()) {
            throw AutomationError(open_ ? error::ObjectOpen : error::InvalidArgument);
        }
        log.push_back("Open");
        opened();
    }
    void Open(const Text& path) override {
        std::ifstream in(toPath(path), std::ios::binary);
        if (open_ || !in) {
            throw AutomationError(open_ ? error::ObjectOpen : error::OpeningFile);
        }
        log.push_back("Open(" + nameOf(path) + ")");
        std::string line;
        std::getline(in, line);
        for (const std::string& name : split(line)) {
            fields_.push_back({fromUtf8(name)});
        }
        while (std::getline(in, line)) {
            Row row{nextBookmark_++, {}};
            for (const std::string& value : split(line)) {
                row.values.push_back(value == "~" ? std::nullopt
                                                  : std::optional<Text>(fromUtf8(value)));
            }
            row.values.resize(fields_.size());
            rows_.push_back(std::move(row));
        }
        opened();
    }
    void Close() override {
        requireOpen();
        log.push_back("Close");
        open_ = false;
        fields_.clear();
        rows_.clear();
        presented_.clear();
        filter_.reset();
        ++revision_;
    }
    void Save(const Text& path, std::int32_t persistFormat) override {
        requireOpen();
        if (persistFormat != kPersistXml) {
            throw AutomationError(error::InvalidArgument);
        }
        log.push_back("Save(" + nameOf(path) + ")");
        std::ofstream out(toPath(path), std::ios::binary | std::ios::trunc);
        std::string line;
        for (const FieldDefinition& field : fields_) {
            line += (line.empty() ? "" : "|") + toUtf8(field.name);
        }
        out << line << '\n';
        for (const Row& row : rows_) {
            line.clear();
            for (std::size_t i = 0; i < row.values.size(); ++i) {
                line += (i == 0 ? "" : "|") +
                        (row.values[i] ? toUtf8(*row.values[i]) : std::string("~"));
            }
            out << line << '\n';
        }
    }

    void SetFilter(TextView criteria) override {
        requireOpen();
        if (criteria.empty()) {
            SetFilter(0);
            return;
        }
        // "[Field] = 'value'" or "[Field] Like '*value*'", as the engine writes them.
        const std::size_t close = criteria.find(u']');
        const std::size_t quote = criteria.find(u'\'');
        if (criteria.front() != u'[' || close == TextView::npos || quote == TextView::npos ||
            criteria.back() != u'\'') {
            throw AutomationError(error::InvalidArgument);
        }
        const std::optional<std::size_t> field = FindField(criteria.substr(1, close - 1));
        if (!field) {
            throw AutomationError(error::InvalidArgument);
        }
        const bool like = criteria.substr(close + 1, quote - close - 1) == u" Like ";
        Text value;
        for (std::size_t i = quote + 1; i + 1 < criteria.size(); ++i) {
            value.push_back(criteria[i]);
            i += criteria[i] == u'\'' ? 1 : 0;
        }
        if (like) {
            value = foldCase(value.substr(1, value.size() - 2));
        }
        presented_.clear();
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            const std::optional<Text>& cell = rows_[i].values[*field];
            if (cell && (like ? foldCase(*cell).find(value) != Text::npos
                              : equalsIgnoringCase(*cell, value))) {
                presented_.push_back(i);
            }
        }
        filter_ = Text(criteria);
        position_ = 0;
        ++revision_;
    }
    void SetFilter(std::int32_t code) override {
        requireOpen();
        if (code != 0) {
            throw AutomationError(error::InvalidArgument);
        }
        filter_.reset();
        presentAll();
    }
    Variant Filter() const override { return filter_ ? Variant(*filter_) : Variant(0); }
    std::int32_t RecordCount() const override {
        requireOpen();
        return static_cast<std::int32_t>(presented_.size());
    }
    std::int32_t AbsolutePosition() const override {
        requireOpen();
        if (presented_.empty()) {
            return kPositionUnknown;
        }
        return position_ < presented_.size() ? static_cast<std::int32_t>(position_) + 1
                                             : kPositionEof;
    }
    void SetAbsolutePosition(std::int32_t position) override {
        requireOpen();
        if (position < 1 || static_cast<std::size_t>(position) > presented_.size()) {
            throw AutomationError(error::InvalidArgument);
        }
        position_ = static_cast<std::size_t>(position) - 1;
    }
    bool IsBOF() const override { return RecordCount() == 0; }
    bool IsEOF() const override { return RecordCount() == 0 || position_ >= presented_.size(); }
    void MoveFirst() override { SetAbsolutePosition(1); }
    void MoveNext() override {
        if (IsEOF()) {
            throw AutomationError(error::NoCurrentRecord);
        }
        ++position_;
    }
    void MoveLast() override { SetAbsolutePosition(RecordCount()); }
    std::optional<Bookmark> CurrentBookmark() const override {
        requireOpen();
        if (position_ >= presented_.size()) {
            return std::nullopt;
        }
        return rows_[presented_[position_]].bookmark;
    }
    void MoveToBookmark(Bookmark bookmark) override {
        requireOpen();
        const auto it = std::find_if(presented_.begin(), presented_.end(), [&](std::size_t row) {
            return rows_[row].bookmark == bookmark;
        });
        if (it == presented_.end()) {
            throw AutomationError(error::InvalidArgument);
        }
        position_ = static_cast<std::size_t>(it - presented_.begin());
    }

    Variant FieldValue(TextView name) const override {
        const std::optional<Text>& cell = rows_[currentRow()].values[requireField(name)];
        return cell ? Variant(*cell) : Variant::null();
    }
    void SetFieldValue(TextView name, const Variant& value) override {
        const std::size_t field = requireField(name);
        rows_[currentRow()].values[field] = cellOf(value);
        ++revision_;
    }
    void AddNew(TextView field, const Variant& value) override {
        requireOpen();
        const std::size_t index = requireField(field);
        Row row{nextBookmark_++, std::vector<std::optional<Text>>(fields_.size())};
        row.values[index] = cellOf(value);
        rows_.push_back(std::move(row));
        presented_.push_back(rows_.size() - 1);
        position_ = presented_.size() - 1;
        ++revision_;
    }
    void Update() override { (void)currentRow(); }
    void Delete(std::int32_t affectRecords) override {
        if (affectRecords != kAffectCurrent) {
            throw AutomationError(error::InvalidArgument);
        }
        const std::size_t row = currentRow();
        rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(row));
        presented_.erase(presented_.begin() + static_cast<std::ptrdiff_t>(position_));
        for (std::size_t& later : presented_) {
            later -= later > row ? 1 : 0;
        }
        ++revision_;
    }

    std::uint64_t Revision() const override { return revision_; }

private:
    struct Row {
        Bookmark bookmark;
        std::vector<std::optional<Text>> values;
    };

    static std::string nameOf(const Text& path) { return toPath(path).filename().string(); }
    static std::vector<std::string> split(const std::string& line) {
        std::vector<std::string> parts;
        std::stringstream in(line);
        for (std::string part; std::getline(in, part, '|');) {
            parts.push_back(part);
        }
        return parts;
    }
    static std::optional<Text> cellOf(const Variant& value) {
        return value.isNull() || value.isEmpty() ? std::nullopt
                                                 : std::optional<Text>(value.toText());
    }

    void requireOpen() const {
        if (!open_) {
            throw AutomationError(error::ObjectClosed);
        }
    }
    std::size_t requireField(TextView name) const {
        const std::optional<std::size_t> field = FindField(name);
        if (!field) {
            throw AutomationError(error::ItemNotFound);
        }
        return *field;
    }
    std::size_t currentRow() const {
        requireOpen();
        if (position_ >= presented_.size()) {
            throw AutomationError(error::NoCurrentRecord);
        }
        return presented_[position_];
    }
    void opened() {
        open_ = true;
        filter_.reset();
        presentAll();
    }
    void presentAll() {
        presented_.clear();
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            presented_.push_back(i);
        }
        position_ = 0;
        ++revision_;
    }

    bool open_ = false;
    std::vector<FieldDefinition> fields_;
    std::vector<Row> rows_;
    std::vector<std::size_t> presented_; // indexes into rows_
    std::size_t position_ = 0;           // among the presented rows; their count is EOF
    std::optional<Text> filter_;
    std::uint64_t revision_ = 0;
    Bookmark nextBookmark_ = 1000;
};

} // namespace fillahead::testing
