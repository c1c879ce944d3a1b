#include "base/text.h"

#include <cstdint>

namespace vort64 {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendWide(std::wstring& out, char32_t cp) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
      return;
    }
  }
  out.push_back(static_cast<wchar_t>(cp));
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

std::wstring Utf8ToWide(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t extra = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
      cp = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1;
      cp = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2;
      cp = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3;
      cp = lead & 0x07u;
    } else {
      out.push_back(static_cast<wchar_t>(kReplacement));
      ++i;
      continue;
    }
    if (extra > 0 && i + extra >= text.size()) {
      // Sequence cut off by the end of the text.
      out.push_back(static_cast<wchar_t>(kReplacement));
      break;
    }
    bool valid = true;
    for (size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      cp = (cp << 6) | (next & 0x3Fu);
    }
    const bool overlong = (extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
    if (!valid || overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(static_cast<wchar_t>(kReplacement));
      ++i;
      continue;
    }
    AppendWide(out, cp);
    i += extra + 1;
  }
  return out;
}

std::string WideToUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    auto cp = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i]));
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size()) {
      const auto low = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(text[i + 1]));
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = kReplacement;
    AppendUtf8(out, cp);
  }
  return out;
}

bool IsValidUtf8(std::string_view text) { return WideToUtf8(Utf8ToWide(text)) == text; }

bool IsControlCharacter(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029; }

bool HoldsControlCharacter(std::wstring_view text) {
  for (const wchar_t c : text) {
    if (IsControlCharacter(static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c)))) return true;
  }
  return false;
}

std::string Printable(std::wstring_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::wstring out;
  for (const wchar_t c : text) {
    const auto cp = static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c));
    if (!IsControlCharacter(cp)) {
      out += c;
      continue;
    }
    out += cp > 0xFF ? L"\\u" : L"\\x";
    for (int shift = cp > 0xFF ? 12 : 4; shift >= 0; shift -= 4) out += static_cast<wchar_t>(kHex[(cp >> shift) & 0xF]);
  }
  return WideToUtf8(out);
}

std::string Printable(std::string_view utf8) {
  // Text that holds no control byte and no C1 or separator lead is printed as it is.
  bool plain = true;
  for (const char c : utf8) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || u == 0xC2 || u == 0xE2) plain = false;
  }
  return plain ? std::string(utf8) : Printable(Utf8ToWide(utf8));
}

wchar_t AsciiToLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

std::wstring AsciiToLower(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out) c = AsciiToLower(c);
  return out;
}

wchar_t AsciiToUpper(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

std::wstring AsciiToUpper(std::wstring_view text) {
  std::wstring out(text);
  for (auto& c : out) c = AsciiToUpper(c);
  return out;
}

}  // namespace vort64
