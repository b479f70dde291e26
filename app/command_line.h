// The two programs' command lines, read the way desktop programs read theirs: --help and
// --version answer and end with status 0, anything the program does not know gives the
// usage on standard error and status 2.
#pragma once

#include <QCommandLineParser>
#include <QString>
#include <string>
#include <vector>

namespace app {

// The version both programs report, from the project's one version number.
QString Version();

// Adds --help and --version to `parser`, then reads argv with it. Called before any
// application object exists, so that --help needs no display; answers --help and
// --version and ends the program on them or on a usage error; returns otherwise.
void ParseCommandLine(QCommandLineParser& parser, const QString& program, int argc, char** argv);

// The positional arguments as the bytes the program was given: a file name that is not
// UTF-8 keeps its bytes (the parser's text would replace them).
std::vector<std::string> RawPositionalArguments(const QCommandLineParser& parser, int argc,
                                                char** argv);

// For errors found after parsing (a bad value): the usage on standard error, status 2.
[[noreturn]] void UsageError(const QCommandLineParser& parser, const QString& program,
                             const QString& why);

}  // namespace app
