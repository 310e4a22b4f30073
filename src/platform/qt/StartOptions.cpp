#include "platform/qt/StartOptions.h"

namespace {

// "--name=value" or "--name value"; false when `arg` is not this option.
bool takeValue(const QString& name, const QStringList& args, int& i, QString* value, QString* error) {
    const QString& arg = args[i];
    if (arg.startsWith(name + u'=')) {
        *value = arg.mid(name.size() + 1);
        return true;
    }
    if (arg != name) return false;
    if (i + 1 >= args.size()) {
        *error = name + QStringLiteral(": 値がありません / missing value");
        return true;
    }
    *value = args[++i];
    return true;
}

}  // namespace

StartOptions parseStartOptions(const QStringList& arguments) {
    StartOptions o;
    for (int i = 0; i < arguments.size() && o.error.isEmpty(); ++i) {
        const QString& arg = arguments[i];
        QString value;
        if (arg == QStringLiteral("--help") || arg == QStringLiteral("-h")) {
            o.help = true;
        } else if (takeValue(QStringLiteral("--folder"), arguments, i, &value, &o.error)) {
            if (o.error.isEmpty() && value.isEmpty())
                o.error = QStringLiteral("--folder: フォルダ名が空です / empty folder name");
            o.folder = value;
        } else if (takeValue(QStringLiteral("--speed"), arguments, i, &value, &o.error)) {
            bool ok = false;
            const int n = value.toInt(&ok);
            if (o.error.isEmpty() && (!ok || n < 1 || n > kMaxSpeed))
                o.error = QStringLiteral("--speed: 1〜%1 の整数を指定して下さい / a whole number from 1 to %1")
                              .arg(kMaxSpeed);
            o.speed = ok ? n : 1;
        } else {
            o.error = arg + QStringLiteral(": 不明な引数です / unknown argument");
        }
    }
    return o;
}

QString startOptionsHelp(const QString& dataFolder) {
    return QStringLiteral(
        "使い方 / Usage: trivorn [--folder フォルダ/DIR] [--speed N]\n"
        "\n"
        "  --folder DIR  データファイル (trv1.dat など) を置くフォルダ。フォルダは\n"
        "                作っておいて下さい。省略すると実行ファイルと同じフォルダ、\n"
        "                そこに書き込めない時 (インストールした時) は\n"
        "                $XDG_DATA_HOME/trivorn (既定 ~/.local/share/trivorn)。\n"
        "                The folder that holds the data files (trv1.dat ...); it\n"
        "                must exist. Without it: the folder of the executable, or\n"
        "                where that cannot be written (an installed copy)\n"
        "                $XDG_DATA_HOME/trivorn (default ~/.local/share/trivorn).\n"
        "  --speed N     返信待ちのカウントダウンと待ち時間を N 倍の速さで進める\n"
        "                (デモとテスト用、1〜60、既定 1)。\n"
        "                Countdowns and waits run N times faster (for\n"
        "                demonstrations and tests; 1 to 60, default 1).\n"
        "  --help, -h    この説明を表示して終了 / show this text and exit\n"
        "\n"
        "データフォルダ / data folder: %1\n").arg(dataFolder);
}
