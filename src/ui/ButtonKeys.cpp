#include "ui/ButtonKeys.h"

#include <QKeySequence>
#include <QPushButton>

#include "ui/EditorWindow.h"

namespace {

enum class WindowKey { None, Escape, Enter };

struct ButtonKey {
    const char* caption;   // UTF-8, as the button shows it
    const char* key;
    WindowKey windowKey;
};

constexpr ButtonKey kButtonKeys[] = {
    {"メールの設定", "Alt+M", WindowKey::None},
    {"アドレス帳設定", "Alt+A", WindowKey::None},
    {"クイズ参加確認", "Alt+I", WindowKey::None},
    {"問題入力", "Alt+Q", WindowKey::None},
    {"クイズ終了", "Alt+E", WindowKey::None},
    {"ＳＴＡＲＴ", "Alt+S", WindowKey::None},
    {"質問＆バグ＆感想", "Alt+F", WindowKey::None},
    {"戻る", "Alt+B", WindowKey::Escape},
    {"確定", "Alt+K", WindowKey::Enter},
    {"この証明書を信頼する", "Alt+T", WindowKey::None},
    {"送信", "Alt+S", WindowKey::None},
    {"結果", "Alt+R", WindowKey::None},
    {"発表", "Alt+H", WindowKey::None},
    {"CSVで保存", "Alt+V", WindowKey::None},
    {"PDFで保存", "Alt+P", WindowKey::None},
    {"閉じる", "Alt+C", WindowKey::None},
};

const ButtonKey* entryFor(const QString& caption) {
    for (const ButtonKey& k : kButtonKeys)
        if (caption == QString::fromUtf8(k.caption)) return &k;
    return nullptr;
}

}  // namespace

QString buttonKey(const QString& caption) {
    const ButtonKey* k = entryFor(caption);
    return k ? QString::fromLatin1(k->key) : QString();
}

void giveButtonsTheirKeys(QWidget* window) {
    auto* editor = qobject_cast<EditorWindow*>(window);
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        const ButtonKey* k = entryFor(button->text());
        if (!k) continue;
        const QKeySequence key(QString::fromLatin1(k->key));
        button->setShortcut(key);
        QString keys = key.toString(QKeySequence::NativeText);
        if (editor && k->windowKey == WindowKey::Escape) {
            editor->setCancelButton(button);
            keys += QStringLiteral(" / ") + QKeySequence(Qt::Key_Escape).toString(QKeySequence::NativeText);
        } else if (editor && k->windowKey == WindowKey::Enter) {
            editor->setDefaultButton(button);
            keys += QStringLiteral(" / ") + QKeySequence(Qt::Key_Return).toString(QKeySequence::NativeText);
        }
        button->setToolTip(keys);
        button->setAccessibleDescription(keys);
    }
}
