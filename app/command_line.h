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

// An argument's bytes as text the parser can read, and back: valid UTF-8 as it is, every
// other byte as a code unit that no valid text holds (U+DC80 to U+DCFF, each alone), so
// that ArgumentBytes(ArgumentText(b)) == b for any bytes b. A file name that is not
// UTF-8 (Latin-1 from an old archive) thus reaches the file system as it was given.
QString ArgumentText(const std::string& bytes);
std::string ArgumentBytes(const QString& text);

// The positional arguments, and an option's value, as the bytes the program was given.
std::vector<std::string> RawPositionalArguments(const QCommandLineParser& parser);
std::string RawValue(const QCommandLineParser& parser, const QCommandLineOption& option);

// For errors found after parsing (a bad value): the usage on standard error, status 2.
[[noreturn]] void UsageError(const QCommandLineParser& parser, const QString& program,
                             const QString& why);

}  // namespace app
