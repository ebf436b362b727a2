#pragma once

#include <string>
#include <string_view>

// Number fields of dialogs, shown and read the same in every locale (the user's locale, which
// QApplication installs, must not turn "1.5" into "1,5" or refuse what it shows).
//
// A field is one of three kinds. Its value travels as a double, which holds every float and
// every 32-bit integer exactly.
enum
{
    FIELD_DOUBLE = 0,
    FIELD_FLOAT = 1,
    FIELD_INT = 2
};

namespace DataExchange
{
// The shortest text that reads back as the same value of the field's kind ("0.1", "1e-05",
// "-3"); a float field shows the float's own shortest form. Negative zero shows as "0".
std::string Format(double dValue, int nKind);

// The double the float's shortest text stands for: 30.1f gives 30.1, not 30.100000381469727.
// A float preset in a double field so reads as typed and converts back to the same float.
double FloatAsDouble(float fValue);

// An allowed range, both ends included.
struct SRange
{
    double dMin;
    double dMax;
};

// Reads a field's text: blanks around the number are allowed, a leading '+' too; anything else
// that is not part of one decimal number is refused, as are infinities, NaN, values too large
// for the kind (a float field must fit a float; an int field takes whole numbers of 32 bits) and,
// with pRange, values outside it. On success dValue holds the value (a float field's rounded to
// float) and the result is true; otherwise dValue is unchanged and strMessage tells the user
// what to type.
bool Parse(std::string_view text, int nKind, const SRange* pRange, double& dValue, std::string& strMessage);
} // namespace DataExchange
