#include "platform/simulated/FileSettingsStore.h"

#include "platform/AutomationError.h"
#include "platform/Path.h"
#include "platform/recordset/AtomicFile.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace fillahead {
namespace {

// Sections in file order, keys in file order; lookups ignore case like the
// registry does.
struct Section {
    Text name;
    std::vector<std::pair<Text, Text>> values;
};
using Document = std::vector<Section>;

// Values are written on one line: backslash, CR and LF are escaped, and so
// are spaces at either end, which a reader of an INI file would trim.
Text escape(TextView value) {
    Text out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char16_t c = value[i];
        if (c == u'\\') {
            out += u"\\\\";
        } else if (c == u'\n') {
            out += u"\\n";
        } else if (c == u'\r') {
            out += u"\\r";
        } else if (c == u' ' && (i == 0 || i + 1 == value.size())) {
            out += u"\\s";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

Text unescape(TextView value) {
    Text out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\' || i + 1 == value.size()) {
            out.push_back(value[i]);
            continue;
        }
        const char16_t next = value[++i];
        out.push_back(next == u'n' ? u'\n' : next == u'r' ? u'\r' : next == u's' ? u' ' : next);
    }
    return out;
}

Document parse(const std::string& utf8) {
    Document document;
    std::istringstream lines(utf8);
    std::string raw;
    while (std::getline(lines, raw)) {
        Text line = fromUtf8(raw);
        while (!line.empty() && (line.back() == u'\r' || line.back() == u' ')) {
            line.pop_back();
        }
        if (line.empty() || line[0] == u';' || line[0] == u'#') {
            continue;
        }
        if (line.front() == u'[' && line.back() == u']') {
            document.push_back({line.substr(1, line.size() - 2), {}});
            continue;
        }
        const auto equals = line.find(u'=');
        if (equals == Text::npos || document.empty()) {
            continue; // not ours; a damaged line loses nothing else
        }
        document.back().values.emplace_back(line.substr(0, equals),
                                            unescape(TextView(line).substr(equals + 1)));
    }
    return document;
}

std::string render(const Document& document) {
    Text text;
    for (const Section& section : document) {
        text += u"[" + section.name + u"]\n";
        for (const auto& [key, value] : section.values) {
            text += key + u"=" + escape(value) + u"\n";
        }
        text += u"\n";
    }
    return toUtf8(text);
}

bool readFile(const fs::path& file, std::string& content) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return false;
    }
    content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// Key and section names are single-line, bracket-free text.
Text cleanName(TextView name) {
    Text out(name);
    for (char16_t& c : out) {
        if (c == u'\n' || c == u'\r' || c == u'=' || c == u'[' || c == u']') {
            c = u'_';
        }
    }
    return out;
}

} // namespace

FileSettingsStore::FileSettingsStore(fs::path folder) : folder_(std::move(folder)) {}

fs::path FileSettingsStore::DefaultFolder() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config) {
        return fs::path(config);
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home) {
        return fs::path(home) / ".config";
    }
    return fs::path(".config");
}

fs::path FileSettingsStore::fileOf(TextView application) const {
    Text name(application);
    for (char16_t& c : name) {
        if (c == u'/' || c == u'\\' || c == u':') {
            c = u'_';
        }
    }
    return folder_ / toPath(name.empty() ? u"_" : name) / "settings.ini";
}

Text FileSettingsStore::GetSetting(TextView application, TextView section, TextView key,
                                   TextView defaultValue) {
    std::string content;
    if (!readFile(fileOf(application), content)) {
        return Text(defaultValue);
    }
    for (const Section& s : parse(content)) {
        if (!equalsIgnoringCase(s.name, cleanName(section))) {
            continue;
        }
        for (const auto& [k, v] : s.values) {
            if (equalsIgnoringCase(k, cleanName(key))) {
                return v;
            }
        }
    }
    return Text(defaultValue);
}

void FileSettingsStore::SaveSetting(TextView application, TextView section, TextView key,
                                    TextView value) {
    const fs::path file = fileOf(application);
    const Text sectionName = cleanName(section);
    const Text keyName = cleanName(key);
    std::error_code code;
    fs::create_directories(file.parent_path(), code);

    std::string content;
    Document document = readFile(file, content) ? parse(content) : Document{};
    Section* target = nullptr;
    for (Section& s : document) {
        if (equalsIgnoringCase(s.name, sectionName)) {
            target = &s;
            break;
        }
    }
    if (target == nullptr) {
        document.push_back({sectionName, {}});
        target = &document.back();
    }
    bool replaced = false;
    for (auto& [k, v] : target->values) {
        if (equalsIgnoringCase(k, keyName)) {
            v = Text(value);
            replaced = true;
        }
    }
    if (!replaced) {
        target->values.emplace_back(keyName, Text(value));
    }

    // Replaced as a buffer file is: a temporary of this save's own, forced
    // to disk and renamed over the file, so that two programs saving at once
    // never write into one temporary, and a crash leaves the old settings
    // or the new ones.
    try {
        removeStaleTemporaries(fromPath(file));
        replaceFileAtomically(fromPath(file), render(document));
    } catch (const AutomationError& e) {
        throw AutomationError(error::PathFileAccessError, e.description());
    }
}

} // namespace fillahead
