// Content lines, the shape of both vCard (RFC 2426) and iCalendar (RFC
// 5545): "NAME;PARAMETERS:value", UTF-8, ending in CR LF, folded so that no
// line holds more than 75 octets: a CR LF and one space go before the unit
// that would pass the limit, never inside a UTF-8 sequence or an escape.
#pragma once

#include <cstddef>

#include "convert/conversion.hpp"
#include "convert/handheld/handheld_records.hpp"

namespace ormidal {

inline constexpr std::size_t kContentLineLimit = 75;

// A short run of ASCII put together by hand: names with their parameters,
// dates, numbers. Formatting through printf cost a third of converting a
// calendar. Whatever would not fit is dropped; no caller comes near.
struct AsciiText {
  static constexpr std::size_t kCapacity = 191;
  char text[kCapacity + 1] = {};
  std::size_t length = 0;

  AsciiText& Add(const char* more);
  AsciiText& Add(char c);
  // `value` in at least `width` decimal digits, zero-padded, after a minus
  // sign when negative.
  AsciiText& Decimal(long value, int width = 1);
  // `value` in exactly `width` lower-case hexadecimal digits.
  AsciiText& Hex(unsigned long value, int width);
};

struct ContentLine {
  std::size_t octets = 0;  // on the current physical line, CR LF not counted
  bool afterCarriageReturn = false;
};

// Appends ASCII as it is: names, parameters, separators, dates.
int AppendAscii(Conversion* conversion, ContentLine* line, const char* text);
int AppendAscii(Conversion* conversion, ContentLine* line, const AsciiText& text);

// Appends Windows-1252 text as an escaped UTF-8 text value: backslash,
// comma and semicolon behind a backslash, each line end (LF, CR or CR LF)
// as \n. Tab is kept; the other control bytes, which a text value cannot
// hold, are dropped.
int AppendText(Conversion* conversion, ContentLine* line, const unsigned char* bytes,
               std::size_t size);
int AppendStoredText(Conversion* conversion, ContentLine* line, const StoredString& text);

// Appends Windows-1252 text as a quoted parameter value in UTF-8. A
// parameter value cannot hold a double quote or a control byte: those are
// dropped.
int AppendParameterValue(Conversion* conversion, ContentLine* line, const unsigned char* bytes,
                         std::size_t size);
int AppendStoredParameter(Conversion* conversion, ContentLine* line, const StoredString& text);

// Appends Windows-1252 text in UTF-8 without escapes, for values such as
// addresses that have no text escapes; control bytes are dropped.
int AppendStoredUnescaped(Conversion* conversion, ContentLine* line, const StoredString& text);

// Ends the line with CR LF and starts the next one.
int EndLine(Conversion* conversion, ContentLine* line);

// "NAME:value" for a stored text value; nothing when the value is absent.
int WriteTextProperty(Conversion* conversion, const char* name, const StoredString& value);

// vCard's structured name: family name, given name, then the three parts
// (additional names, prefixes, suffixes) the handheld does not keep.
int WriteStructuredName(Conversion* conversion, const StoredString& familyName,
                        const StoredString& givenName);

// The name an address book lists the card under, which vCard requires: the
// person's name, else the first of `fallbacks` that is present (the company,
// the phones and e-mails), else "Unnamed" as the handheld lists such a record.
int WriteFormattedName(Conversion* conversion, const StoredString& givenName,
                       const StoredString& familyName, const StoredString* const* fallbacks,
                       std::size_t fallbackCount);

// A whole line of ASCII, such as "BEGIN:VCARD".
int WriteAsciiLine(Conversion* conversion, const char* text);
int WriteAsciiLine(Conversion* conversion, const AsciiText& text);

}  // namespace ormidal
