#include "atom_script.h"

#include "common/tool_error.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>

namespace qf::kit {

namespace {

std::string_view trim(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool parseInt(std::string_view text, int& value)
{
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size();
}

enum class Section { None, Config, Delete, Insert, Unknown };

} // namespace

std::string decodePercent(std::string_view text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        int hi = i + 2 < text.size() ? hexDigit(text[i + 1]) : -1;
        int lo = hi >= 0 ? hexDigit(text[i + 2]) : -1;
        if (lo < 0)
            throw ToolError("bad escape '" + std::string(text.substr(i, 3)) + "' (expected %XX)");
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

AtomScript parseAtomScript(std::string_view text)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    AtomScript script;
    std::map<unsigned, std::string> deletes, inserts;
    Section section = Section::None;
    int lineNumber = 0;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        auto fail = [&](const std::string& why) -> ToolError {
            return ToolError("script line " + std::to_string(lineNumber) + ": " + why);
        };
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']')
                throw fail("unclosed section name");
            std::string name = lower(trim(line.substr(1, line.size() - 2)));
            section = name == "config" ? Section::Config
                : name == "deleteatom" ? Section::Delete
                : name == "insertatom" ? Section::Insert
                                       : Section::Unknown;
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            throw fail("expected key=value");
        std::string key = lower(trim(line.substr(0, eq)));
        std::string_view value = trim(line.substr(eq + 1));
        switch (section) {
        case Section::None: throw fail("'" + key + "' stands outside any section");
        case Section::Unknown: break;
        case Section::Config:
            if (key == "title") {
                script.title = value;
            } else if (key == "mqv" || key == "codec") {
                int v = 0;
                if (!parseInt(value, v))
                    throw fail(key + " needs a number");
                (key == "mqv" ? script.mqv : script.codec) = v;
            } else if (key == "build_edts") {
                if (value != "0" && value != "1")
                    throw fail("Build_edts must be 0 or 1");
                script.buildEdts = value == "1";
            }
            break;
        case Section::Delete:
        case Section::Insert: {
            unsigned index = 0;
            std::string_view digits = std::string_view(key).substr(std::min<size_t>(4, key.size()));
            auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
            if (key.compare(0, 4, "item") != 0 || digits.empty() || ec != std::errc()
                || ptr != digits.data() + digits.size())
                throw fail("unknown item '" + key + "'");
            std::string bytes;
            try {
                bytes = decodePercent(value);
            } catch (const ToolError& e) {
                throw fail(e.what());
            }
            auto& items = section == Section::Delete ? deletes : inserts;
            if (section == Section::Delete && bytes.size() != 4)
                throw fail("a box type has four characters");
            if (section == Section::Insert && bytes.size() < 4)
                throw fail("an inserted box needs at least its type");
            if (!items.emplace(index, bytes).second)
                throw fail("item " + std::to_string(index) + " given twice");
            break;
        }
        }
    }
    for (auto& [index, type] : deletes)
        script.deleteTypes.push_back(type);
    for (auto& [index, box] : inserts)
        script.insertBoxes.push_back(box);
    return script;
}

} // namespace qf::kit
