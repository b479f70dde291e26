#include "app/command_line.h"

#include <QStringList>
#include <cstdio>
#include <cstdlib>

#include "platform/base/utf8.h"

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

QString ArgumentText(const std::string& bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (size_t at = 0; at < bytes.size();) {
    const size_t length = platform::Utf8Length(bytes, at);
    if (length == 0) {
      text += QChar(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes[at])));
      ++at;
      continue;
    }
    text += QString::fromUtf8(bytes.data() + at, static_cast<qsizetype>(length));
    at += length;
  }
  return text;
}

std::string ArgumentBytes(const QString& text) {
  std::string bytes;
  for (qsizetype at = 0; at < text.size(); ++at) {
    const char16_t unit = text[at].unicode();
    const bool paired =
        QChar::isHighSurrogate(unit) && at + 1 < text.size() && text[at + 1].isLowSurrogate();
    if (unit >= 0xDC80 && unit <= 0xDCFF) {
      bytes += static_cast<char>(unit - 0xDC00);  // a byte that was not UTF-8
    } else if (paired) {
      bytes += text.mid(at, 2).toUtf8().toStdString();
      ++at;
    } else {
      bytes += QString(text[at]).toUtf8().toStdString();
    }
  }
  return bytes;
}

std::vector<std::string> RawPositionalArguments(const QCommandLineParser& parser) {
  std::vector<std::string> raw;
  for (const QString& argument : parser.positionalArguments()) {
    raw.push_back(ArgumentBytes(argument));
  }
  return raw;
}

std::string RawValue(const QCommandLineParser& parser, const QCommandLineOption& option) {
  return ArgumentBytes(parser.value(option));
}

void ParseCommandLine(QCommandLineParser& parser, const QString& program, int argc, char** argv) {
  // Not addHelpOption(): its --help-all lists the toolkit's own options, which are read
  // from the environment here (QT_QPA_PLATFORM), not from the command line.
  const QCommandLineOption help({"h", "help"}, "Shows this help and ends.");
  const QCommandLineOption version({"v", "version"}, "Shows the version and ends.");
  parser.addOption(help);
  parser.addOption(version);
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << ArgumentText(argv[i]);
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
