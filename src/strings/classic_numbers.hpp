#pragma once
// Numbers are written and read with a decimal point whatever locale the person's
// environment names (LANG, LC_ALL, LC_NUMERIC): a report, a plot or a CSV file from
// a German desktop must read the same as one from anywhere else. The programs
// format numbers with printf and friends, which follow the C library's LC_NUMERIC;
// a C program starts in the "C" locale, but Qt's application objects (QApplication,
// QGuiApplication) set the C library's locale from the environment when they are
// built.
namespace inhibra::strings {

// Sets the C library's number format back to the "C" locale's (a point, no
// grouping). Call right after building a Qt application object, before other
// threads start: the locale is the whole process's.
void keep_numbers_classic();

}  // namespace inhibra::strings
