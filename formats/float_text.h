// Numbers in the text of mesh files: the longest decimal floating-point number at
// the start of [first, last) as std::from_chars reads it (no leading blanks or
// '+', no hexadecimal; "inf" and "nan" accepted), correctly rounded and the same
// on every platform. Backends: float_text_charconv.cpp (the C++ library's
// from_chars), float_text_web.cpp (whose library has no floating-point from_chars).
#pragma once

// The end of the number read, or `first` when there is none (then `value` is
// untouched). A number beyond the float range gives what strtof gives: an
// infinity for overflow, the nearest tiny value or zero for underflow.
const char* readFloatText(const char* first, const char* last, float& value);
