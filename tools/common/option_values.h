// Checked conversion of option values. A value that does not parse, or lies
// outside its range, is an error naming the option, never a silent default:
// a test that passes a mistyped fault rate must fail, not run without faults.
#ifndef ORDELIN_TOOLS_OPTION_VALUES_H
#define ORDELIN_TOOLS_OPTION_VALUES_H

#include "result.h"

#include <QtCore/QCommandLineParser>

namespace tools {

Result<qint64> integerOption(const QCommandLineParser &parser, const QString &name,
                             qint64 lowest, qint64 highest);
Result<double> decimalOption(const QCommandLineParser &parser, const QString &name,
                             double lowest, double highest);
Result<QString> choiceOption(const QCommandLineParser &parser, const QString &name,
                             const QStringList &choices);

// Parses the arguments and rejects unknown options and stray positional
// arguments (unless the program takes them). The result tells whether the
// user asked for --help; printing it is the caller's business. --version
// prints the version and exits.
Result<bool> parseArguments(QCommandLineParser &parser, const QStringList &arguments,
                            bool takesPositional);

// The program as the user started it ("ordelin-poll-qt6"), for the start of
// its messages.
QString programName();

} // namespace tools

#endif
