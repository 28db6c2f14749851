#include "core/program/command_line.h"

#include <climits>

std::wstring trimText(const std::wstring& s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] <= L' ') ++b;
    while (e > b && s[e - 1] <= L' ') --e;
    return s.substr(b, e - b);
}

bool parseInteger(const std::wstring& s, int& value) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) negative = s[i++] == L'-';
    if (i == s.size()) return false;
    long long v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < L'0' || s[i] > L'9') return false;
        v = v * 10 + (s[i] - L'0');
        if (v > static_cast<long long>(INT_MAX) + 1) return false;
    }
    if (negative) v = -v;
    if (v > INT_MAX || v < INT_MIN) return false;
    value = static_cast<int>(v);
    return true;
}

namespace {

// Splits at the first two commas: "b,r,c"; later commas stay inside the last piece.
void splitFormat(const std::wstring& p, CommandLine& cl) {
    std::wstring b = p, r = p, c = p;
    size_t c1 = p.find(L',');
    if (c1 != std::wstring::npos) {
        b = p.substr(0, c1);
        r = p.substr(c1 + 1);
        size_t c2 = p.find(L',', c1 + 1);
        if (c2 != std::wstring::npos) {
            r = p.substr(c1 + 1, c2 - c1 - 1);
            c = p.substr(c2 + 1);
        }
    }
    if (!parseInteger(trimText(b), cl.bits)) cl.bits = 16;
    if (!parseInteger(trimText(r), cl.rate)) cl.rate = 44100;
    if (!parseInteger(trimText(c), cl.channels)) cl.channels = 2;
}

}  // namespace

CommandLine parseCommandLine(const std::wstring& commandLine) {
    CommandLine cl;
    cl.text = trimText(commandLine);
    const std::wstring& t = cl.text;
    std::wstring f = t, p = t;

    size_t q1 = t.find(L'"');
    if (q1 != std::wstring::npos && q1 == 0) {
        // A quoted path, as Windows passes a file with blanks in its name: the file part
        // is the first quoted pair, the format part the next one.
        size_t q2 = t.find(L'"', 1);
        f = t.substr(1, q2 == std::wstring::npos ? std::wstring::npos : q2 - 1);
        p.clear();
        if (q2 != std::wstring::npos) {
            size_t q3 = t.find(L'"', q2 + 1);
            if (q3 != std::wstring::npos) {
                size_t q4 = t.find(L'"', q3 + 1);
                p = t.substr(q3 + 1, q4 == std::wstring::npos ? std::wstring::npos : q4 - q3 - 1);
            }
        }
    } else if (q1 != std::wstring::npos) {
        f = t.substr(0, q1);
        p = t.substr(q1 + 1);
        size_t q2 = t.find(L'"', q1 + 1);
        if (q2 != std::wstring::npos) p.pop_back();  // the second quote drops P's last character
    }
    cl.fileName = trimText(f);
    splitFormat(trimText(p), cl);
    return cl;
}
