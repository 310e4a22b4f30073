#pragma once
#include <QString>

class QWidget;

// Every button of every window is pressed from the keyboard as well. The keys
// live in one table, in ButtonKeys.cpp, by the button's caption, since one
// caption does one thing wherever it stands:
//
//   caption              key      in an editor window also
//   メールの設定         Alt+M
//   アドレス帳設定       Alt+A
//   クイズ参加確認       Alt+I
//   問題入力             Alt+Q
//   クイズ終了           Alt+E
//   ＳＴＡＲＴ           Alt+S
//   質問＆バグ＆感想     Alt+F
//   戻る                 Alt+B    Esc
//   確定                 Alt+K    Enter (the default button)
//   この証明書を信頼する Alt+T
//   送信                 Alt+S
//   結果                 Alt+R
//   CSVで保存            Alt+V
//   PDFで保存            Alt+P
//   閉じる               Alt+C    Esc (the results window)
//
// The captions stay exactly as they are, with no "&" marking a letter; each
// button names its key in its tooltip and accessible description instead.

// The key of a caption, "Alt+M"; empty for a caption not in the table.
QString buttonKey(const QString& caption);

// Gives each button of `window` its key. In an editor window "戻る" is also
// pressed by Esc and "確定" by Enter.
void giveButtonsTheirKeys(QWidget* window);
