// The text of the kit's save: the machine's keys and values as they were before a run.
#include "SaveFile.h"

#include <cstdio>
#include <sstream>

namespace kit {

namespace {
constexpr char kFirstLine[] = "kelvo machine save 2";

// Every field is in hex, led by an x so that no field is empty: names and data hold any byte.
std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex = "x";
    for (unsigned char c : bytes) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}

std::string HexWide(const std::wstring& text) {
    return Hex(std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
}

int Digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool Unhex(const std::string& hex, std::string& bytes) {
    if (hex.empty() || hex[0] != 'x' || hex.size() % 2 != 1) return false;
    bytes.clear();
    for (std::size_t at = 1; at < hex.size(); at += 2) {
        int high = Digit(hex[at]), low = Digit(hex[at + 1]);
        if (high < 0 || low < 0) return false;
        bytes += static_cast<char>(high * 16 + low);
    }
    return true;
}

bool UnhexWide(const std::string& hex, std::wstring& text) {
    std::string bytes;
    if (!Unhex(hex, bytes) || bytes.size() % sizeof(wchar_t) != 0) return false;
    text.assign(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    return true;
}

// FNV-1a: a changed, dropped or repeated byte changes it.
std::uint32_t Checksum(const std::string& text) {
    std::uint32_t sum = 2166136261u;
    for (unsigned char c : text) sum = (sum ^ c) * 16777619u;
    return sum;
}

std::string EndLine(std::size_t lines, const std::string& body) {
    char end[64];
    std::snprintf(end, sizeof end, "end %u %08x\n", static_cast<unsigned>(lines),
                  static_cast<unsigned>(Checksum(body)));
    return end;
}

bool ReadLine(const std::string& line, Saved& saved) {
    std::istringstream fields(line);
    std::string kind, key, second, third, rest;
    fields >> kind >> key;
    if (kind == "tree") {
        saved.trees.emplace_back();
        return UnhexWide(key, saved.trees.back()) && !(fields >> rest);
    }
    if (kind == "key") {
        SavedKey read;
        return fields >> second >> third && !(fields >> rest) && UnhexWide(key, read.path) &&
               UnhexWide(second, read.keyClass) && Unhex(third, read.security) && (saved.keys.push_back(read), true);
    }
    SavedValue value;
    value.exists = kind == "value";
    if (!value.exists && kind != "novalue") return false;
    if (!(fields >> second) || !UnhexWide(key, value.key) || !UnhexWide(second, value.name)) return false;
    if (value.exists) {
        unsigned long type = 0;
        if (!(fields >> type >> third) || !Unhex(third, value.data)) return false;
        value.type = static_cast<std::uint32_t>(type);
    }
    if (fields >> rest) return false;
    saved.values.push_back(value);
    return true;
}
}  // namespace

std::string WriteSave(const Saved& saved) {
    std::ostringstream out;
    out << kFirstLine << "\n";
    std::size_t lines = 1;
    for (const std::wstring& tree : saved.trees) out << "tree " << HexWide(tree) << "\n";
    for (const SavedKey& key : saved.keys) {
        out << "key " << HexWide(key.path) << " " << HexWide(key.keyClass) << " " << Hex(key.security) << "\n";
    }
    for (const SavedValue& value : saved.values) {
        out << (value.exists ? "value " : "novalue ") << HexWide(value.key) << " " << HexWide(value.name);
        if (value.exists) out << " " << value.type << " " << Hex(value.data);
        out << "\n";
    }
    lines += saved.trees.size() + saved.keys.size() + saved.values.size();
    std::string body = out.str();
    return body + EndLine(lines, body);
}

bool ReadSave(const std::string& text, Saved& saved, std::string& why) {
    saved = Saved();
    std::size_t endAt = text.rfind("\nend ");
    if (endAt == std::string::npos || text.empty() || text.back() != '\n') {
        why = "it has no end line: it was cut short";
        return false;
    }
    std::string body = text.substr(0, endAt + 1);
    std::size_t lines = 0;
    for (char c : body) lines += c == '\n' ? 1 : 0;
    if (text.substr(endAt + 1) != EndLine(lines, body)) {
        why = "its end line does not match its lines (count or checksum): it was changed or cut short";
        return false;
    }
    std::istringstream in(body);
    std::string line;
    std::getline(in, line);
    if (line != kFirstLine) {
        why = "it does not begin with \"" + std::string(kFirstLine) + "\": it is not this kit's save";
        return false;
    }
    for (std::size_t number = 2; std::getline(in, line); ++number) {
        if (!ReadLine(line, saved)) {
            why = "line " + std::to_string(number) + " cannot be read";
            saved = Saved();
            return false;
        }
    }
    return true;
}

}  // namespace kit
