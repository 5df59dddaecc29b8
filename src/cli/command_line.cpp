#include "cli/command_line.h"

#include <QCoreApplication>
#include <array>
#include <optional>

namespace morvelle::cli {

namespace {

// Code names as people write them; case does not matter. UTF-16BE is read, never written.
struct CodeName {
  const char16_t* name;
  std::optional<CharacterCode> target;  // --to
  FileCode source;                      // --from
};
constexpr std::array<CodeName, 14> kCodes{{
    {u"sjis", CharacterCode::ShiftJis, FileCode::ShiftJis},
    {u"shift_jis", CharacterCode::ShiftJis, FileCode::ShiftJis},
    {u"cp932", CharacterCode::ShiftJis, FileCode::ShiftJis},
    {u"euc", CharacterCode::Euc, FileCode::EucJp},
    {u"euc-jp", CharacterCode::Euc, FileCode::EucJp},
    {u"eucjp-ms", CharacterCode::Euc, FileCode::EucJp},
    {u"jis", CharacterCode::Jis, FileCode::Iso2022Jp},
    {u"iso-2022-jp", CharacterCode::Jis, FileCode::Iso2022Jp},
    {u"ucs2", CharacterCode::Ucs2, FileCode::Utf16Le},
    {u"utf-16le", CharacterCode::Ucs2, FileCode::Utf16Le},
    {u"utf16", CharacterCode::Ucs2, FileCode::Utf16Le},
    {u"utf16be", std::nullopt, FileCode::Utf16Be},
    {u"utf8", CharacterCode::Utf8, FileCode::Utf8},
    {u"utf-8", CharacterCode::Utf8, FileCode::Utf8},
}};

const CodeName* CodeNamed(const QString& value) {
  for (const CodeName& c : kCodes) {
    if (value.compare(QStringView(c.name), Qt::CaseInsensitive) == 0) return &c;
  }
  return nullptr;
}

// The first name of each code an option `takes`, in the table's order, for its message.
template <typename Takes>
QStringList CodeNames(Takes takes) {
  QStringList names;
  const CodeName* previous = nullptr;
  for (const CodeName& c : kCodes) {
    if (takes(c) && (!previous || previous->source != c.source)) {
      names << QString::fromUtf16(c.name);
    }
    previous = &c;
  }
  return names;
}

UsageError NotOneOf(const QString& option, const QStringList& names, const QString& value) {
  return UsageError(
      QCoreApplication::translate("CommandLine", "%1 には %2 のどれかを指定してください: \"%3\"")
          .arg(option, names.join(QStringLiteral(", ")), value));
}

std::optional<Command> CommandNamed(const QString& word) {
  if (word == u"replace") return Command::Replace;
  if (word == u"convert") return Command::Convert;
  if (word == u"detect") return Command::Detect;
  return std::nullopt;
}

int ParseJobs(const QString& value) {
  bool ok = false;
  const int jobs = value.toInt(&ok);
  // A thread per file is already more than any machine runs at once.
  if (!ok || jobs < 1 || jobs > 1024) {
    throw UsageError(QCoreApplication::translate(
                         "CommandLine", "-j には 1 から 1024 までの整数を指定してください: \"%1\"")
                         .arg(value));
  }
  return jobs;
}

CharacterCode ParseTarget(const QString& value) {
  const CodeName* c = CodeNamed(value);
  if (!c || !c->target) {
    throw NotOneOf(QStringLiteral("--to"),
                   CodeNames([](const CodeName& code) { return code.target.has_value(); }), value);
  }
  return *c->target;
}

FileCode ParseSource(const QString& value) {
  const CodeName* c = CodeNamed(value);
  if (!c) {
    throw NotOneOf(QStringLiteral("--from"), CodeNames([](const CodeName&) { return true; }),
                   value);
  }
  return c->source;
}

template <typename T, size_t N>
T OneOf(const QString& option, const QString& value,
        const std::array<std::pair<const char16_t*, T>, N>& words) {
  QStringList names;
  for (const auto& [name, meaning] : words) {
    if (value == QStringView(name)) return meaning;
    names << QString::fromUtf16(name);
  }
  throw NotOneOf(option, names, value);
}

// Short options without a value; those with one (-j, -r, -e) take the rest of the word or the
// next argument.
bool IsShortFlag(QChar c) { return c == u'n' || c == u'v' || c == u'R' || c == u'h'; }

// Walks the arguments; options take their value as the next argument or glued on
// ("-jN", "--jobs=N", "-rFILE", "--to=utf8"); short flags combine ("-vn", "-vj2").
class Parser {
 public:
  explicit Parser(const QStringList& arguments) : args_(arguments) {}

  Invocation Run() {
    // --help and --version answer whatever else the line holds.
    for (const QString& a : args_) {
      if (a == u"--") break;
      if (a == u"--help" || IsShortGroupWith(a, u'h')) return Invocation{};
    }
    for (const QString& a : args_) {
      if (a == u"--") break;
      if (a == u"--version") {
        Invocation inv;
        inv.command = Command::Version;
        return inv;
      }
    }
    Invocation inv;
    std::optional<Command> command;
    bool onlyFiles = false;
    for (i_ = 0; i_ < args_.size(); ++i_) {
      QString a = args_[i_];
      if (onlyFiles || a == u"-" || !a.startsWith(u'-')) {
        if (!command) {
          command = CommandNamed(a);
          if (!command) {
            throw UsageError(
                QCoreApplication::translate("CommandLine", "不明なコマンドです: \"%1\"").arg(a));
          }
        } else {
          inv.files << a;
        }
        continue;
      }
      if (a == u"--") {
        onlyFiles = true;
        continue;
      }
      // "-vnj2" is "-v -n -j2": flags come off the front.
      while (a.size() > 2 && a[0] == u'-' && a[1] != u'-' && IsShortFlag(a[1])) {
        Option(QStringLiteral("-") + a[1], inv);
        a.remove(1, 1);
      }
      Option(a, inv);
    }
    if (!command) {
      throw UsageError(QCoreApplication::translate("CommandLine", "コマンドを指定してください"));
    }
    inv.command = *command;
    Check(inv);
    return inv;
  }

 private:
  static bool IsShortGroupWith(const QString& a, QChar flag) {
    if (a.size() < 2 || a[0] != u'-' || a[1] == u'-') return false;
    for (qsizetype k = 1; k < a.size(); ++k) {
      if (a[k] == flag) return true;
      if (!IsShortFlag(a[k])) return false;  // the rest is a value
    }
    return false;
  }

  void Option(const QString& a, Invocation& inv) {
    if (a == u"-n" || a == u"--dry-run") {
      inv.dryRun = true;
    } else if (a == u"--diff") {
      inv.diff = true;
    } else if (a == u"-v" || a == u"--verbose") {
      inv.verbose = true;
    } else if (a == u"-R" || a == u"--recursive") {
      inv.recursive = true;
    } else if (a == u"--hidden") {
      inv.hidden = true;
    } else if (a == u"--bom") {
      inv.bom = true;
    } else if (auto v = Value(a, u"-j", u"--jobs")) {
      inv.jobs = ParseJobs(*v);
    } else if (auto v = Value(a, u"-r", u"--rules")) {
      inv.ruleSets << *v;
    } else if (auto v = Value(a, u"-e", u"--expression")) {
      inv.expressions << *v;
    } else if (auto v = Value(a, nullptr, u"--to")) {
      inv.to = ParseTarget(*v);
    } else if (auto v = Value(a, nullptr, u"--from")) {
      inv.from = ParseSource(*v);
    } else if (auto v = Value(a, nullptr, u"--eol")) {
      inv.lineEnds = OneOf<LineEnds, 3>(
          QStringLiteral("--eol"), *v,
          {{{u"keep", LineEnds::Keep}, {u"lf", LineEnds::Lf}, {u"crlf", LineEnds::CrLf}}});
    } else if (auto v = Value(a, nullptr, u"--color")) {
      inv.color = OneOf<Color, 3>(
          QStringLiteral("--color"), *v,
          {{{u"auto", Color::Auto}, {u"always", Color::Always}, {u"never", Color::Never}}});
    } else if (auto v = Value(a, nullptr, u"--include")) {
      inv.includes << *v;
    } else if (auto v = Value(a, nullptr, u"--exclude")) {
      inv.excludes << *v;
    } else {
      throw UsageError(
          QCoreApplication::translate("CommandLine", "不明なオプションです: \"%1\"").arg(a));
    }
  }

  // The value of option `a` if it is the short or long form; throws when the value is missing.
  std::optional<QString> Value(const QString& a, const char16_t* shortName,
                               const char16_t* longName) {
    const QStringView longView(longName);
    if (a == longView || (shortName && a == QStringView(shortName))) {
      if (i_ + 1 >= args_.size()) {
        throw UsageError(QCoreApplication::translate("CommandLine", "%1 に値がありません").arg(a));
      }
      return args_[++i_];
    }
    if (a.startsWith(longView) && a.size() > longView.size() && a[longView.size()] == u'=') {
      return a.mid(longView.size() + 1);
    }
    if (shortName && a.size() > 2 && a.startsWith(QStringView(shortName))) return a.mid(2);
    return std::nullopt;
  }

  // `what` is marked QT_TRANSLATE_NOOP("CommandLine", …).
  static void Only(bool used, bool allowed, const char* what) {
    if (used && !allowed) throw UsageError(QCoreApplication::translate("CommandLine", what));
  }

  static void Check(const Invocation& inv) {
    const bool replace = inv.command == Command::Replace;
    const bool convert = inv.command == Command::Convert;
    Only(!inv.ruleSets.isEmpty() || !inv.expressions.isEmpty(), replace,
         QT_TRANSLATE_NOOP("CommandLine", "-r と -e は replace でだけ使えます"));
    Only(inv.dryRun, replace, QT_TRANSLATE_NOOP("CommandLine", "-n は replace でだけ使えます"));
    Only(inv.diff, replace, QT_TRANSLATE_NOOP("CommandLine", "--diff は replace でだけ使えます"));
    Only(inv.color != Color::Auto, inv.diff,
         QT_TRANSLATE_NOOP("CommandLine", "--color は --diff と使います"));
    Only(inv.to.has_value(), convert,
         QT_TRANSLATE_NOOP("CommandLine", "--to は convert でだけ使えます"));
    Only(inv.lineEnds != LineEnds::Keep, convert,
         QT_TRANSLATE_NOOP("CommandLine", "--eol は convert でだけ使えます"));
    Only(inv.bom, convert, QT_TRANSLATE_NOOP("CommandLine", "--bom は convert でだけ使えます"));
    Only(inv.bom, inv.to == CharacterCode::Ucs2 || inv.to == CharacterCode::Utf8,
         QT_TRANSLATE_NOOP("CommandLine", "--bom は --to utf8 (ucs2 には常に付きます) と使います"));
    Only(inv.hidden || !inv.includes.isEmpty() || !inv.excludes.isEmpty(), inv.recursive,
         QT_TRANSLATE_NOOP("CommandLine", "--hidden, --include, --exclude は -R と使います"));
    if (convert && !inv.to) {
      throw UsageError(QCoreApplication::translate(
          "CommandLine", "convert には --to で変換先の文字コードを指定してください"));
    }
    if (inv.files.isEmpty()) {
      throw UsageError(QCoreApplication::translate("CommandLine", "ファイルを指定してください"));
    }
    // Without a rule every file would only be copied: surely a forgotten -e or -r.
    if (replace && inv.ruleSets.isEmpty() && inv.expressions.isEmpty()) {
      throw UsageError(QCoreApplication::translate(
          "CommandLine", "replace には -r か -e で置換条件を指定してください"));
    }
  }

  const QStringList& args_;
  qsizetype i_ = 0;
};

}  // namespace

Invocation ParseCommandLine(const QStringList& arguments) { return Parser(arguments).Run(); }

QString HelpText() {
  // One text, so that a translation keeps its layout whole.
  return QCoreApplication::translate(
      "CommandLine",
      "使い方:\n"
      "  morvelle-batch [オプション]... replace [-r 設定ファイル.exp]... [-e 置換式]... "
      "ファイル...\n"
      "  morvelle-batch [オプション]... convert --to 文字コード ファイル...\n"
      "  morvelle-batch [オプション]... detect ファイル...\n"
      "\n"
      "replace  各設定ファイルの有効な条件 (指定順)、続いて各 -e の置換式 (指定順) を\n"
      "         ファイルごとに適用し、同じフォルダーに「小文字にした名前.exp」として書きます。\n"
      "convert  各ファイルを指定の文字コードに変換し、同じ名前規則で書きます。\n"
      "detect   ファイルごとに、読み込むときの文字コード、タブ、パスを 1 行に出力します。\n"
      "元のファイルは書き換えません。出力が一覧のファイルを上書きするとき、または二つの\n"
      "ファイルが同じ出力に書くときは、何も書かずに中止します。\n"
      "\n"
      "オプション:\n"
      "  -r, --rules ファイル      設定ファイル (複数指定可)\n"
      "  -e, --expression 式       置換式 s/…/…/フラグ (複数指定可)\n"
      "  -n, --dry-run             何も書かず、ファイルごとに各条件が変えた箇所の数を出力します\n"
      "                            (失敗した条件は「失敗」、それ以降の条件は「-」)。書き込みと\n"
      "                            同じ検査をし、書き込みと同じように失敗します\n"
      "      --diff                何も書かず、変わるファイルごとに統一 diff (UTF-8) を出力します\n"
      "      --color いつ          --diff の色: auto (端末のとき。NO_COLOR が空でないときと\n"
      "                            TERM=dumb のときは付けません), always, never\n"
      "  -R, --recursive           フォルダーをたどります (名前のバイト順、フォルダーへのリンク、\n"
      "                            隠しファイル、.exp の出力、バイナリは除きます)\n"
      "      --hidden              隠しファイルとフォルダーもたどります\n"
      "      --include パターン    名前がパターンに合うファイルだけを対象にします (複数指定可)\n"
      "      --exclude パターン    名前がパターンに合うファイルを除きます (複数指定可)\n"
      "      --to 文字コード       convert の変換先\n"
      "      --from 文字コード     元のファイルをこの文字コードとして読みます (判定しません)\n"
      "      --eol keep|lf|crlf    convert の改行 (既定: keep)\n"
      "      --bom                 convert: UTF-8 に BOM を付けます (ucs2 には常に付きます)\n"
      "  -j, --jobs N              N 個のスレッドで処理します (既定: コア数)。\n"
      "                            結果、メッセージ、中断の位置は -j 1 と同じです。\n"
      "  -v, --verbose             書いた後に -n と同じ内容を出力します\n"
      "  -h, --help                この説明\n"
      "      --version             版数\n"
      "短いオプションはまとめられます (-vn, -j2)。\n"
      "\n"
      "文字コード (大文字小文字は問いません): sjis (shift_jis, cp932), euc (euc-jp, eucjp-ms),\n"
      "jis (iso-2022-jp), ucs2 (utf-16le, utf16), utf8 (utf-8)、--from では utf16be も。\n"
      "\n"
      "設定ファイル: 1 行に 1 条件。置換式、タブ、有効フラグ (10 進数、0 で無効)、CR LF。\n"
      "文字コードは Shift_JIS (CP932)。「設定を保存」で保存したものをそのまま読めます。\n"
      "\n"
      "言語: LC_ALL, LC_MESSAGES, LANG のうち最初に空でないものが ja で始まるときは日本語、\n"
      "それ以外は英語で出力します。\n"
      "\n"
      "終了コード: 0 すべて書けた, 1 エラーがあった, 2 使い方の誤り,\n"
      "128+N シグナル N で中断 (作りかけの一時ファイルは消します)\n");
}

QString VersionText() {
  return QStringLiteral("morvelle-batch ") + QStringLiteral(MORVELLE_VERSION) + u'\n';
}

}  // namespace morvelle::cli
