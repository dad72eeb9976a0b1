#pragma once
// Comma fields of SubStation lines, shared by the readers that take them
// apart by position. A false result is a field error.

#include <QChar>
#include <QString>

// Removes leading white space from `buffer`; `field` gets the text up to the
// first `separator`, which is removed from `buffer` with it. Without a
// separator the whole buffer is the field and `buffer` stays as it is. An
// empty buffer (after the white space) is a field error.
bool TakeField(QString& buffer, QChar separator, QString& field);

// A decimal field, or hexadecimal after "&h" or "0x"; reading stops at the
// first character that does not fit ("12px" is 12). No number: field error.
bool TakeInt(QString& buffer, QChar separator, int& value);

// A single-precision decimal field, widened. No number: field error.
bool TakeFloat(QString& buffer, QChar separator, double& value);
