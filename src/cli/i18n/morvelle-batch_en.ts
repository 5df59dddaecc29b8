<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja_JP">
<context>
    <name>BatchCli</name>
    <message>
        <source>標準出力に書き込めません (%1)</source>
        <translation>Cannot write to standard output (%1)</translation>
    </message>
    <message>
        <source>失敗</source>
        <translation>failed</translation>
    </message>
    <message>
        <source>対象外にしたファイル: %1</source>
        <translation>Files left out: %1</translation>
    </message>
    <message>
        <source>隠しファイル</source>
        <translation>hidden</translation>
    </message>
    <message>
        <source>--exclude に合うもの</source>
        <translation>matching --exclude</translation>
    </message>
    <message>
        <source>--include に合わないもの</source>
        <translation>not matching --include</translation>
    </message>
    <message>
        <source>出力 (.exp)</source>
        <translation>outputs (.exp)</translation>
    </message>
    <message>
        <source>バイナリ</source>
        <translation>binary</translation>
    </message>
    <message>
        <source>通常のファイルでないもの</source>
        <translation>not regular files</translation>
    </message>
</context>
<context>
    <name>Batches</name>
    <message>
        <source>%1
(ファイル: %2)</source>
        <translation>%1
(file: %2)</translation>
    </message>
    <message>
        <source>バイナリファイルとして読んだので置換しません (出力は元のままです): %1</source>
        <translation>Read as a binary file, so nothing is replaced (the output is the file as it was): %1</translation>
    </message>
    <message>
        <source> ほか、全 %1 バイト</source>
        <translation> and more, %1 bytes in all</translation>
    </message>
    <message>
        <source>読めないバイトは置換せず元のまま残します: %1 の %2%3 (%4 として)</source>
        <translation>Unreadable bytes are kept as they are, not replaced: %1, %2%3 (read as %4)</translation>
    </message>
    <message>
        <source>出力先が重なるため、何も書き込まずに中止しました: %1</source>
        <translation>Stopped without writing anything, as outputs collide: %1</translation>
    </message>
    <message>
        <source>%1 番目の %2 の出力 %3 は設定ファイル %4 です (書き込むとそのファイルが失われます)</source>
        <translation>the output %3 of file %1, %2, is the rule-set file %4 (writing it would destroy that file)</translation>
    </message>
    <message>
        <source>%1 番目の %2 の出力 %3 は %4 番目のファイル %5 です (書き込むとそのファイルが失われます)</source>
        <translation>the output %3 of file %1, %2, is file %4, %5 (writing it would destroy that file)</translation>
    </message>
    <message>
        <source>%1 番目の %2 と %3 番目の %4 は同じ出力 %5 に書き込みます (先の結果が失われます)</source>
        <translation>file %1, %2, and file %3, %4, write the same output %5 (the first result would be lost)</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>-j には 1 から 1024 までの整数を指定してください: &quot;%1&quot;</source>
        <translation>-j takes a whole number from 1 to 1024: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>%1 には %2 のどれかを指定してください: &quot;%3&quot;</source>
        <translation>%1 takes one of %2: &quot;%3&quot;</translation>
    </message>
    <message>
        <source>不明なコマンドです: &quot;%1&quot;</source>
        <translation>Unknown command: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>コマンドを指定してください</source>
        <translation>No command given: replace, convert or detect</translation>
    </message>
    <message>
        <source>不明なオプションです: &quot;%1&quot;</source>
        <translation>Unknown option: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>%1 に値がありません</source>
        <translation>%1 needs a value</translation>
    </message>
    <message>
        <source>-r と -e は replace でだけ使えます</source>
        <translation>-r and -e are for replace only</translation>
    </message>
    <message>
        <source>-n は replace でだけ使えます</source>
        <translation>-n is for replace only</translation>
    </message>
    <message>
        <source>--diff は replace でだけ使えます</source>
        <translation>--diff is for replace only</translation>
    </message>
    <message>
        <source>--color は --diff と使います</source>
        <translation>--color goes with --diff</translation>
    </message>
    <message>
        <source>--to は convert でだけ使えます</source>
        <translation>--to is for convert only</translation>
    </message>
    <message>
        <source>--eol は convert でだけ使えます</source>
        <translation>--eol is for convert only</translation>
    </message>
    <message>
        <source>--bom は convert でだけ使えます</source>
        <translation>--bom is for convert only</translation>
    </message>
    <message>
        <source>--bom は --to utf8 (ucs2 には常に付きます) と使います</source>
        <translation>--bom goes with --to utf8 (ucs2 always has one)</translation>
    </message>
    <message>
        <source>--hidden, --include, --exclude は -R と使います</source>
        <translation>--hidden, --include and --exclude go with -R</translation>
    </message>
    <message>
        <source>convert には --to で変換先の文字コードを指定してください</source>
        <translation>convert needs the target code: --to CODE</translation>
    </message>
    <message>
        <source>ファイルを指定してください</source>
        <translation>No file given</translation>
    </message>
    <message>
        <source>replace には -r か -e で置換条件を指定してください</source>
        <translation>replace needs rules: -r RULESET or -e EXPRESSION</translation>
    </message>
    <message>
        <source>使い方:
  morvelle-batch [オプション]... replace [-r 設定ファイル.exp]... [-e 置換式]... ファイル...
  morvelle-batch [オプション]... convert --to 文字コード ファイル...
  morvelle-batch [オプション]... detect ファイル...

replace  各設定ファイルの有効な条件 (指定順)、続いて各 -e の置換式 (指定順) を
         ファイルごとに適用し、同じフォルダーに「小文字にした名前.exp」として書きます。
convert  各ファイルを指定の文字コードに変換し、同じ名前規則で書きます。
detect   ファイルごとに、読み込むときの文字コード、タブ、パスを 1 行に出力します。
元のファイルは書き換えません。出力が一覧のファイルを上書きするとき、または二つの
ファイルが同じ出力に書くときは、何も書かずに中止します。

オプション:
  -r, --rules ファイル      設定ファイル (複数指定可)
  -e, --expression 式       置換式 s/…/…/フラグ (複数指定可)
  -n, --dry-run             何も書かず、ファイルごとに各条件が変えた箇所の数を出力します
                            (失敗した条件は「失敗」、それ以降の条件は「-」)。書き込みと
                            同じ検査をし、書き込みと同じように失敗します
      --diff                何も書かず、変わるファイルごとに統一 diff (UTF-8) を出力します
      --color いつ          --diff の色: auto (端末のとき。NO_COLOR が空でないときと
                            TERM=dumb のときは付けません), always, never
  -R, --recursive           フォルダーをたどります (名前のバイト順、フォルダーへのリンク、
                            隠しファイル、.exp の出力、バイナリは除きます)
      --hidden              隠しファイルとフォルダーもたどります
      --include パターン    名前がパターンに合うファイルだけを対象にします (複数指定可)
      --exclude パターン    名前がパターンに合うファイルを除きます (複数指定可)
      --to 文字コード       convert の変換先
      --from 文字コード     元のファイルをこの文字コードとして読みます (判定しません)
      --eol keep|lf|crlf    convert の改行 (既定: keep)
      --bom                 convert: UTF-8 に BOM を付けます (ucs2 には常に付きます)
  -j, --jobs N              N 個のスレッドで処理します (既定: コア数)。
                            結果、メッセージ、中断の位置は -j 1 と同じです。
  -v, --verbose             書いた後に -n と同じ内容を出力します
  -h, --help                この説明
      --version             版数
短いオプションはまとめられます (-vn, -j2)。

文字コード (大文字小文字は問いません): sjis (shift_jis, cp932), euc (euc-jp, eucjp-ms),
jis (iso-2022-jp), ucs2 (utf-16le, utf16), utf8 (utf-8)、--from では utf16be も。

設定ファイル: 1 行に 1 条件。置換式、タブ、有効フラグ (10 進数、0 で無効)、CR LF。
文字コードは Shift_JIS (CP932)。「設定を保存」で保存したものをそのまま読めます。

言語: LC_ALL, LC_MESSAGES, LANG のうち最初に空でないものが ja で始まるときは日本語、
それ以外は英語で出力します。

終了コード: 0 すべて書けた, 1 エラーがあった, 2 使い方の誤り,
128+N シグナル N で中断 (作りかけの一時ファイルは消します)
</source>
        <translation>Usage:
  morvelle-batch [OPTION]... replace [-r RULESET.exp]... [-e EXPRESSION]... FILE...
  morvelle-batch [OPTION]... convert --to CODE FILE...
  morvelle-batch [OPTION]... detect FILE...

replace  applies the enabled rules of each rule-set file (in the order given), then
         each -e expression (in the order given), to every FILE and writes the result
         beside it as its lower-cased name plus &quot;.exp&quot;.
convert  converts every FILE to the given character code, named the same way.
detect   prints one line per file: the code it is read as, a TAB, the path.
Sources are never modified. A run whose output would write over one of its files, or
whose files would write one output twice, stops before writing anything.

Options:
  -r, --rules FILE          rule-set file (repeatable)
  -e, --expression EXPR     substitution s/.../.../flags (repeatable)
  -n, --dry-run             write nothing; print per file how many spans each rule
                            changed (a failed rule: failed, rules after it: -); makes
                            every check of the write and fails as it would
      --diff                write nothing; print a unified diff (UTF-8) per changed file
      --color WHEN          colour of --diff: auto (on a terminal, unless NO_COLOR is
                            set and not empty or TERM=dumb), always, never
  -R, --recursive           walk folders (names in byte order; links to folders, hidden
                            names, .exp outputs and binary files left out)
      --hidden              walk hidden files and folders too
      --include GLOB        take only files whose name matches (repeatable)
      --exclude GLOB        leave out files whose name matches (repeatable)
      --to CODE             target code of convert
      --from CODE           read the sources in this code instead of recognising it
      --eol keep|lf|crlf    line ends of convert (default: keep)
      --bom                 convert: UTF-8 with a byte-order mark (ucs2 always has one)
  -j, --jobs N              process files on N threads (default: number of cores);
                            outputs, messages and where a failure stops the run are
                            those of -j 1
  -v, --verbose             print what -n prints, after writing
  -h, --help                this text
      --version             version
Short options combine (-vn, -j2).

CODE (any case): sjis (shift_jis, cp932), euc (euc-jp, eucjp-ms), jis (iso-2022-jp),
ucs2 (utf-16le, utf16), utf8 (utf-8); utf16be for --from.

Rule-set file: one rule a line: the expression, a TAB, the enable flag in decimal (0
disables), CR LF; in Shift_JIS (CP932), as the window&apos;s 設定を保存 writes it.

Language: Japanese when the first of LC_ALL, LC_MESSAGES and LANG that is not empty
begins with ja, English otherwise.

Exit status: 0 every file written, 1 a failure was reported, 2 usage error,
128+N ended by signal N (temporary files removed)
</translation>
    </message>
    <message>
        <source>詳しくは morvelle-batch --help</source>
        <translation>See morvelle-batch --help</translation>
    </message>
</context>
<context>
    <name>FileBuffer</name>
    <message>
        <source>ファイルを読み込めません</source>
        <translation>Cannot read the file</translation>
    </message>
    <message>
        <source>変換できない文字があります: %1 の %2の %3 を %4 で表せません</source>
        <translation>Cannot convert a character: %1, %2: %3 cannot be written in %4</translation>
    </message>
    <message>
        <source>読めないバイトがあるので変換できません: %1 の %2の%3 (%4 として)</source>
        <translation>Cannot convert, as there are unreadable bytes: %1, %2, %3 (read as %4)</translation>
    </message>
    <message>
        <source>変換できません: %1</source>
        <translation>Cannot convert: %1</translation>
    </message>
    <message>
        <source>バイナリファイルは変換できません: %1</source>
        <translation>Cannot convert a binary file: %1</translation>
    </message>
    <message>
        <source>%1: %2 の %3 (%4 として)</source>
        <translation>%1: %2, %3 (read as %4)</translation>
    </message>
    <message>
        <source>置換の範囲が正しくありません: %1</source>
        <translation>Invalid replacement range: %1</translation>
    </message>
    <message>
        <source>ファイルまたはフォルダーが見つかりません</source>
        <translation>No such file or folder</translation>
    </message>
    <message>
        <source>アクセスが拒否されました</source>
        <translation>Permission denied</translation>
    </message>
    <message>
        <source>ディスクの空き領域が足りません</source>
        <translation>No space left on the disk</translation>
    </message>
    <message>
        <source>ディスクの使用量の上限を超えました</source>
        <translation>Disk quota exceeded</translation>
    </message>
    <message>
        <source>フォルダーです</source>
        <translation>Is a folder</translation>
    </message>
    <message>
        <source>パスの途中にフォルダーでないものがあります</source>
        <translation>A part of the path is not a folder</translation>
    </message>
    <message>
        <source>読み取り専用のファイルシステムです</source>
        <translation>Read-only file system</translation>
    </message>
    <message>
        <source>名前が長すぎます</source>
        <translation>Name too long</translation>
    </message>
    <message>
        <source>シンボリックリンクの参照が多すぎます</source>
        <translation>Too many levels of symbolic links</translation>
    </message>
    <message>
        <source>開いているファイルが多すぎます</source>
        <translation>Too many open files</translation>
    </message>
    <message>
        <source>入出力エラーが発生しました</source>
        <translation>Input/output error</translation>
    </message>
    <message>
        <source>ファイルが大きすぎます</source>
        <translation>File too large</translation>
    </message>
    <message>
        <source>メモリが足りません</source>
        <translation>Out of memory</translation>
    </message>
    <message>
        <source>ファイルが使用中です</source>
        <translation>File busy</translation>
    </message>
    <message>
        <source>同じ名前のファイルがあります</source>
        <translation>A file of that name exists</translation>
    </message>
    <message>
        <source>別のファイルシステムへは移せません</source>
        <translation>Cannot move to another file system</translation>
    </message>
    <message>
        <source>引数が正しくありません</source>
        <translation>Invalid argument</translation>
    </message>
    <message>
        <source>デバイスまたはアドレスがありません</source>
        <translation>No such device or address</translation>
    </message>
    <message>
        <source>パイプの読み手がいません</source>
        <translation>Broken pipe: nothing reads it</translation>
    </message>
    <message>
        <source>ファイル記述子が開いていません</source>
        <translation>Bad file descriptor</translation>
    </message>
    <message>
        <source>エラー番号 %1</source>
        <translation>Error number %1</translation>
    </message>
    <message>
        <source>通常のファイルではないので読み込めません: %1</source>
        <translation>Cannot read what is not a regular file: %1</translation>
    </message>
    <message>
        <source>ファイルを開けません</source>
        <translation>Cannot open the file</translation>
    </message>
    <message>
        <source>フォルダーは読み込めません: %1</source>
        <translation>Cannot read a folder: %1</translation>
    </message>
    <message>
        <source>ファイルを書き込めません</source>
        <translation>Cannot write the file</translation>
    </message>
    <message>
        <source>読み込んだ後で元のファイルが変更されたので書き込めません: %1</source>
        <translation>Cannot write, as the source file changed after it was read: %1</translation>
    </message>
    <message>
        <source>書き込めません: %1 の %2は、読めない文字集合 (ISO-2022-JP の知らないエスケープシーケンスの後) の途中で、元の指定に戻せません</source>
        <translation>Cannot write: %1, %2 is inside a character set that cannot be read (after an unknown ISO-2022-JP escape sequence), where the original designation cannot be restored</translation>
    </message>
    <message>
        <source>書き込めない文字があります: %1 の %2の %3 を %4 で表せません</source>
        <translation>Cannot write a character: %1, %2: %3 cannot be written in %4</translation>
    </message>
    <message>
        <source>書き込めません: %1 の %2の文字が、書き込むと別の文字として読まれます</source>
        <translation>Cannot write: %1, the character at %2 would read back as another character</translation>
    </message>
    <message>
        <source>書き込めません: %1 の %2で、元のまま残す読めないバイトが前後とつながり、別の文字として読まれます</source>
        <translation>Cannot write: %1, at %2 the unreadable bytes kept as they are would join their neighbours and read back as another character</translation>
    </message>
    <message>
        <source>%1 行 %2 列目</source>
        <translation>line %1, column %2</translation>
    </message>
    <message>
        <source>エスケープシーケンス %1</source>
        <translation>escape sequence %1</translation>
    </message>
    <message>
        <source>バイト %1</source>
        <translation>byte %1</translation>
    </message>
    <message>
        <source>%1 行 %2 列目の%3</source>
        <translation>line %1, column %2, %3</translation>
    </message>
    <message>
        <source>読めないバイトがあるので読み込めません</source>
        <translation>Cannot read the file, as it has unreadable bytes</translation>
    </message>
    <message>
        <source>読めないバイトがあります</source>
        <translation>Unreadable bytes</translation>
    </message>
</context>
<context>
    <name>RuleSetFile</name>
    <message>
        <source>設定ファイルを読み込めません: %1 (%2 行目の有効フラグ &quot;%3&quot; が整数ではありません)</source>
        <translation>Cannot read the rule-set file: %1 (the enable flag &quot;%3&quot; on line %2 is not an integer)</translation>
    </message>
</context>
<context>
    <name>Services</name>
    <message>
        <source>メモリが足りないため処理できません: %1</source>
        <translation>Cannot process, out of memory: %1</translation>
    </message>
    <message>
        <source>設定ファイルを読み込めません: %1 (%2 行目に %3 として解釈できないバイト 0x%4 があります)</source>
        <translation>Cannot read the rule-set file: %1 (line %2 has a byte 0x%4 that cannot be read as %3)</translation>
    </message>
    <message>
        <source>置換を中止しました: 結果がメモリに収まりません</source>
        <translation>Replacement stopped: the result does not fit in memory</translation>
    </message>
    <message>
        <source>メモリが足りないため変換できません: %1</source>
        <translation>Cannot convert, out of memory: %1</translation>
    </message>
</context>
<context>
    <name>Substitute</name>
    <message>
        <source>パターンが \ で終わっています</source>
        <translation>the pattern ends in \</translation>
    </message>
    <message>
        <source>量指定子 {n,m} の数が逆順です</source>
        <translation>the numbers of the quantifier {n,m} are out of order</translation>
    </message>
    <message>
        <source>文字クラスの ] がありません</source>
        <translation>the character class has no ]</translation>
    </message>
    <message>
        <source>文字クラスの範囲が正しくありません</source>
        <translation>invalid range in a character class</translation>
    </message>
    <message>
        <source>量指定子の前に繰り返せるものがありません</source>
        <translation>nothing to repeat before the quantifier</translation>
    </message>
    <message>
        <source>括弧が閉じていません</source>
        <translation>a parenthesis is not closed</translation>
    </message>
    <message>
        <source>対応する開き括弧のない閉じ括弧があります</source>
        <translation>a closing parenthesis without an opening one</translation>
    </message>
    <message>
        <source>存在しないグループを参照しています</source>
        <translation>a reference to a group that does not exist</translation>
    </message>
    <message>
        <source>後読みの長さが一定ではありません (可変長の後読みには対応していません)</source>
        <translation>the lookbehind is not of fixed length (variable-length lookbehind is not supported)</translation>
    </message>
    <message>
        <source>不明な Unicode の特性名です</source>
        <translation>unknown Unicode property name</translation>
    </message>
    <message>
        <source>対応していないエスケープです</source>
        <translation>unsupported escape</translation>
    </message>
    <message>
        <source>不明なエスケープです</source>
        <translation>unknown escape</translation>
    </message>
    <message>
        <source>不明な POSIX 文字クラスです</source>
        <translation>unknown POSIX character class</translation>
    </message>
    <message>
        <source>正規表現の誤りです</source>
        <translation>error in the regular expression</translation>
    </message>
    <message>
        <source>制限時間 %1 秒を超えました</source>
        <translation>over the time limit of %1 seconds</translation>
    </message>
    <message>
        <source>照合の試行回数が上限を超えました</source>
        <translation>over the limit of match attempts</translation>
    </message>
    <message>
        <source>照合の深さが上限を超えました</source>
        <translation>over the depth limit of matching</translation>
    </message>
    <message>
        <source>照合に使うメモリが上限を超えました</source>
        <translation>over the memory limit of matching</translation>
    </message>
    <message>
        <source>照合に使うスタックが上限を超えました</source>
        <translation>over the stack limit of matching</translation>
    </message>
    <message>
        <source>置換できません: 照合中に誤りが起きました (%1)</source>
        <translation>Cannot replace: matching failed (%1)</translation>
    </message>
    <message>
        <source>置換を中止しました: この式はこのテキストに対して時間がかかりすぎます (%1)</source>
        <translation>Replacement stopped: this expression takes too long on this text (%1)</translation>
    </message>
    <message>
        <source>一つの開始位置からの照合の手順が上限の %1 回を超えました</source>
        <translation>matching from one starting position went over the limit of %1 steps</translation>
    </message>
    <message>
        <source>照合の深さが上限の %1 を超えました</source>
        <translation>matching went over the depth limit of %1</translation>
    </message>
    <message>
        <source>照合に使うメモリが上限の %1 MiB を超えました</source>
        <translation>matching went over the memory limit of %1 MiB</translation>
    </message>
    <message>
        <source>照合に使うメモリを確保できません</source>
        <translation>cannot allocate the memory for matching</translation>
    </message>
    <message>
        <source>照合に使うスタックが上限の %1 MiB を超えました</source>
        <translation>matching went over the stack limit of %1 MiB</translation>
    </message>
    <message>
        <source>置換を中止しました: この式はこのテキストに対して時間がかかりすぎます (%1)。パターンを単純にするか (入れ子の繰り返し (a+)+ や、同じ文字に合う選択肢の繰り返し (a|aa)* をなくす)、合う範囲を狭めてください (.* の代わりに [^,]* など)</source>
        <translation>Replacement stopped: this expression takes too long on this text (%1). Make the pattern simpler (no nested repeats such as (a+)+, no repeated alternatives that match the same characters such as (a|aa)*), or narrow what it matches ([^,]* instead of .*, for example)</translation>
    </message>
    <message>
        <source>「%1」 は区切り文字に使えません (ASCII の記号を使ってください)</source>
        <translation>&quot;%1&quot; cannot be a delimiter (use an ASCII punctuation character)</translation>
    </message>
    <message>
        <source>パターンの区切り 「%1」 が閉じていません</source>
        <translation>the pattern&apos;s delimiter &quot;%1&quot; is not closed</translation>
    </message>
    <message>
        <source>置換文字列の区切り 「%1」 が閉じていません</source>
        <translation>the replacement&apos;s delimiter &quot;%1&quot; is not closed</translation>
    </message>
    <message>
        <source>フラグ e (置換文字列をコードとして実行) には対応していません</source>
        <translation>flag e (run the replacement as code) is not supported</translation>
    </message>
    <message>
        <source>フラグ r (結果を返すだけの置換) には対応していません</source>
        <translation>flag r (return the result only) is not supported</translation>
    </message>
    <message>
        <source>フラグ c は置換には使えません</source>
        <translation>flag c cannot be used in a substitution</translation>
    </message>
    <message>
        <source>フラグ l (ロケール依存) には対応していません</source>
        <translation>flag l (rules of the locale) is not supported</translation>
    </message>
    <message>
        <source>フラグ d (旧来の文字の意味) には対応していません</source>
        <translation>flag d (old character semantics) is not supported</translation>
    </message>
    <message>
        <source>不明なフラグ 「%1」 です</source>
        <translation>unknown flag &quot;%1&quot;</translation>
    </message>
    <message>
        <source>(*%1) は perl にない指定です (改行と Unicode の扱いは固定です)</source>
        <translation>(*%1) is not in perl (line ends and Unicode are handled one fixed way)</translation>
    </message>
    <message>
        <source>パターン中の $%1 は perl では変数として展開されます (文字の $ は \$ と書いてください)</source>
        <translation>$%1 in a pattern is a variable to perl (write a literal $ as \$)</translation>
    </message>
    <message>
        <source>パターン中の @%1 は perl では配列として展開されます (文字の @ は \@ と書いてください)</source>
        <translation>@%1 in a pattern is an array to perl (write a literal @ as \@)</translation>
    </message>
    <message>
        <source>パターン中の \%1 (大文字・小文字の変換) には対応していません</source>
        <translation>\%1 (case change) in a pattern is not supported</translation>
    </message>
    <message>
        <source>文字の名前 「%1」 が見つかりません</source>
        <translation>no character is named &quot;%1&quot;</translation>
    </message>
    <message>
        <source>ブロック名 「%1」 は Unicode 14 (perl 5.36) にありません</source>
        <translation>the block &quot;%1&quot; is not in Unicode 14 (perl 5.36)</translation>
    </message>
    <message>
        <source>不明なエスケープ \%1 です</source>
        <translation>unknown escape \%1</translation>
    </message>
    <message>
        <source>%1 の括弧が閉じていません</source>
        <translation>the brace of %1 is not closed</translation>
    </message>
    <message>
        <source>%1 に数字がありません</source>
        <translation>%1 has no digits</translation>
    </message>
    <message>
        <source>%1 に数字でない文字があります</source>
        <translation>%1 has a character that is not a digit</translation>
    </message>
    <message>
        <source>%1 の値が Unicode の範囲を超えています</source>
        <translation>the value of %1 is beyond Unicode</translation>
    </message>
    <message>
        <source>%1 の値がサロゲート (U+D800〜U+DFFF) で、文字ではありません</source>
        <translation>the value of %1 is a surrogate (U+D800 to U+DFFF), not a character</translation>
    </message>
    <message>
        <source>変数の直後の %1 は perl では添字になります (文字として書くには \ を前に付けてください)</source>
        <translation>%1 right after a variable is a subscript to perl (put \ before it to write it as a character)</translation>
    </message>
    <message>
        <source>${%1} は perl の変数として展開されるため使えません</source>
        <translation>${%1} cannot be used: perl expands it as a variable</translation>
    </message>
    <message>
        <source>$%1 は perl の変数として展開されるため使えません (文字の $ は \$ と書いてください)</source>
        <translation>$%1 cannot be used: perl expands it as a variable (write a literal $ as \$)</translation>
    </message>
    <message>
        <source>$%1 は perl の特殊変数として展開されるため使えません (文字の $ は \$ と書いてください)</source>
        <translation>$%1 cannot be used: perl expands it as a special variable (write a literal $ as \$)</translation>
    </message>
    <message>
        <source>@%1 は perl の配列として展開されるため使えません (文字の @ は \@ と書いてください)</source>
        <translation>@%1 cannot be used: perl expands it as an array (write a literal @ as \@)</translation>
    </message>
    <message>
        <source>グループ %1 はパターンにありません (グループは %2 個です)</source>
        <translation>group %1 is not in the pattern (it has %2 groups)</translation>
    </message>
    <message>
        <source>名前付きグループ 「%1」 はパターンにありません</source>
        <translation>the named group &quot;%1&quot; is not in the pattern</translation>
    </message>
    <message>
        <source>%1: %2 文字目、%3</source>
        <translation>%1 at character %2: %3</translation>
    </message>
    <message>
        <source>置換式の形が正しくありません</source>
        <translation>The expression is malformed</translation>
    </message>
    <message>
        <source>置換式を使えません</source>
        <translation>Cannot use the expression</translation>
    </message>
    <message>
        <source>正規表現を解釈できません</source>
        <translation>Cannot read the regular expression</translation>
    </message>
    <message>
        <source>置換文字列を解釈できません</source>
        <translation>Cannot read the replacement</translation>
    </message>
    <message>
        <source>式が空です</source>
        <translation>the expression is empty</translation>
    </message>
    <message>
        <source>tr/// と y/// は置換式として使えません。s/…/…/ と書いてください</source>
        <translation>tr/// and y/// are not substitutions; write s/…/…/</translation>
    </message>
    <message>
        <source>照合 (m//) は置換式ではありません。s/…/…/ と書いてください</source>
        <translation>a match (m//) is not a substitution; write s/…/…/</translation>
    </message>
    <message>
        <source>s/…/…/ の形で書いてください</source>
        <translation>write it as s/…/…/</translation>
    </message>
    <message>
        <source>s の後に区切り文字がありません</source>
        <translation>no delimiter after s</translation>
    </message>
    <message>
        <source>空白の後の # はコメントになり、区切り文字になりません</source>
        <translation># after a space starts a comment, not a delimiter</translation>
    </message>
    <message>
        <source>置換文字列の区切りがありません</source>
        <translation>the replacement has no closing delimiter</translation>
    </message>
    <message>
        <source>式の終わりの後に余分な文字があります</source>
        <translation>extra characters after the end of the expression</translation>
    </message>
    <message>
        <source>バックスラッシュは区切り文字に使えません</source>
        <translation>a backslash cannot be a delimiter</translation>
    </message>
    <message>
        <source>フラグ aa には対応していません</source>
        <translation>flag aa is not supported</translation>
    </message>
    <message>
        <source>フラグ a は二つまでしか書けません</source>
        <translation>flag a can be given at most twice</translation>
    </message>
    <message>
        <source>フラグ u は一度しか書けません</source>
        <translation>flag u can be given only once</translation>
    </message>
    <message>
        <source>フラグ a と u は同時に使えません</source>
        <translation>flags a and u cannot be used together</translation>
    </message>
    <message>
        <source>空のパターンは perl では直前に成功したパターンを意味するため使えません</source>
        <translation>an empty pattern cannot be used: to perl it means the last pattern that matched</translation>
    </message>
    <message>
        <source>\b{…} (Unicode の境界) には対応していません</source>
        <translation>\b{…} (Unicode boundaries) is not supported</translation>
    </message>
    <message>
        <source>パターン中のコード (?{…}) は実行できません</source>
        <translation>code in a pattern, (?{…}), cannot be run</translation>
    </message>
    <message>
        <source>(?C…) は perl にない構文です</source>
        <translation>(?C…) is not perl syntax</translation>
    </message>
    <message>
        <source>文字の名前の \N{…} が閉じていません</source>
        <translation>the character name \N{…} is not closed</translation>
    </message>
    <message>
        <source>\N と { の間に空白やコメントは置けません (perl では誤りです)</source>
        <translation>no space or comment may come between \N and { (an error in perl)</translation>
    </message>
    <message>
        <source>{,n} や空白を含む {…} の量指定には対応していません。{0,n} のように書いてください</source>
        <translation>quantifiers {,n} and {…} with spaces are not supported; write {0,n}, for example</translation>
    </message>
    <message>
        <source>フラグ a のもとで (?^…) や (?u…) の中にある \d \s \w \b や [[:…:]] には対応していません (perl ではそこだけ Unicode の規則になります)</source>
        <translation>\d \s \w \b and [[:…:]] inside (?^…) or (?u…) under flag a are not supported (perl applies Unicode rules just there)</translation>
    </message>
    <message>
        <source>\c{ は perl では誤りです (この文字は ; と書いてください)</source>
        <translation>\c{ is an error in perl (write this character as ;)</translation>
    </message>
    <message>
        <source>\c の後には ASCII の文字が一つ必要です</source>
        <translation>\c needs one ASCII character after it</translation>
    </message>
    <message>
        <source>\N の後には {文字の名前} か {U+XXXX} が必要です</source>
        <translation>\N needs {character name} or {U+XXXX} after it</translation>
    </message>
    <message>
        <source>末尾の $ は perl では誤りです (文字の $ は \$ と書いてください)</source>
        <translation>a $ at the end is an error in perl (write a literal $ as \$)</translation>
    </message>
    <message>
        <source>グループ番号が大きすぎます</source>
        <translation>group number too large</translation>
    </message>
    <message>
        <source>${ の括弧が閉じていません</source>
        <translation>the brace of ${ is not closed</translation>
    </message>
    <message>
        <source>$+{ の括弧が閉じていません</source>
        <translation>the brace of $+{ is not closed</translation>
    </message>
    <message>
        <source>$+{…} の名前が正しくありません</source>
        <translation>invalid name in $+{…}</translation>
    </message>
    <message>
        <source>$+[…] (一致位置の配列) には対応していません</source>
        <translation>$+[…] (the array of match offsets) is not supported</translation>
    </message>
    <message>
        <source>$0 はプログラム名の変数として展開されるため使えません</source>
        <translation>$0 cannot be used: perl expands it as the program&apos;s name</translation>
    </message>
    <message>
        <source>$$ はプロセス番号の変数として展開されるため使えません</source>
        <translation>$$ cannot be used: perl expands it as the process ID</translation>
    </message>
    <message>
        <source>文字でない UTF-16 の単位 (対になっていないサロゲート) があります</source>
        <translation>a UTF-16 unit that is no character (an unpaired surrogate)</translation>
    </message>
</context>
</TS>
