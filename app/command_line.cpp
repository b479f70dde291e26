#include "app/command_line.h"

#include <QStringList>
#include <cstdio>
#include <cstdlib>

namespace app {

namespace {

// Without an application object the parser cannot know the program's name.
QString Usage(const QCommandLineParser& parser, const QString& program) {
  QString text = parser.helpText();
  text.replace(QStringLiteral("<executable_name>"), program);
  return text;
}

}  // namespace

QString Version() {
  return QStringLiteral(ANYTURN_VERSION);
}

void UsageError(const QCommandLineParser& parser, const QString& program, const QString& why) {
  std::fprintf(stderr, "%s: %s\n%s", qPrintable(program), qPrintable(why),
               qPrintable(Usage(parser, program)));
  std::exit(2);
}

std::vector<std::string> RawPositionalArguments(const QCommandLineParser& parser, int argc,
                                                char** argv) {
  // The parser keeps the positional arguments in their order: each is the next argument
  // that reads as it does.
  const QStringList positional = parser.positionalArguments();
  std::vector<std::string> raw;
  for (int i = 1; i < argc && raw.size() < static_cast<size_t>(positional.size()); ++i) {
    if (QString::fromLocal8Bit(argv[i]) == positional[static_cast<qsizetype>(raw.size())]) {
      raw.emplace_back(argv[i]);
    }
  }
  // Not found as given (cannot happen with the parser's own reading): its text.
  for (auto i = static_cast<qsizetype>(raw.size()); i < positional.size(); ++i) {
    raw.push_back(positional[i].toStdString());
  }
  return raw;
}

void ParseCommandLine(QCommandLineParser& parser, const QString& program, int argc, char** argv) {
  // Not addHelpOption(): its --help-all lists the toolkit's own options, which are read
  // from the environment here (QT_QPA_PLATFORM), not from the command line.
  const QCommandLineOption help({"h", "help"}, "Shows this help and ends.");
  const QCommandLineOption version({"v", "version"}, "Shows the version and ends.");
  parser.addOption(help);
  parser.addOption(version);
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  if (!parser.parse(arguments)) UsageError(parser, program, parser.errorText());
  if (parser.isSet(help)) {
    std::fputs(qPrintable(Usage(parser, program)), stdout);
    std::exit(0);
  }
  if (parser.isSet(version)) {
    std::printf("%s %s\n", qPrintable(program), qPrintable(Version()));
    std::exit(0);
  }
}

}  // namespace app
