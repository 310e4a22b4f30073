#pragma once
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "model/Module1.h"
#include "platform/Socket.h"
#include "platform/Timer.h"
#include "run/RoundNotes.h"
#include "run/QuizRound.h"
#include "run/RoundMail.h"
#include "ui/EditorWindow.h"

class Form1RoundView;
class Form1SessionView;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QScreen;
class QScrollBar;
class QVBoxLayout;
class PresentationWindow;
class ResultsWindow;

// The main window "メニュー": opens the editor windows, selects the round,
// starts a round, shows its progress, the ranking and the joined players,
// and owns the two mail connections with their time-out timers. It lives for
// the whole run of the program; closing it ends the program.
class Form1 : public QWidget {
    Q_OBJECT
public:
    // Makes the window of an editor button the first time it is pressed.
    using EditorFactory = std::function<EditorWindow*()>;
    // Where the program's data folder is looked up (main() chooses it; a
    // test gives its own).
    using FolderSource = std::function<std::string()>;

    Form1(Module1& module1, FolderSource appFolder, QWidget* parent = nullptr);
    ~Form1() override;

    Module1& m;
    RoundNotes vars;   // 受信, 遅れメール

    // Controls, named as the window's design names them.
    QPushButton* Command1;   // メールの設定
    QPushButton* Command2;   // アドレス帳設定
    QPushButton* Command3;   // クイズ参加確認
    QPushButton* Command4;   // 問題入力
    QPushButton* Command5;   // クイズ終了
    QPushButton* Command6;   // ＳＴＡＲＴ
    QPushButton* Command7;   // 質問＆バグ＆感想
    QLabel* Label10;         // 第
    QComboBox* Combo1;       // the round; its text is RoundNumber
    QLabel* Label11;         // 回クイズ大会
    QPushButton* ResultsButton;   // 結果: the results window of the round the grids show
    QPushButton* PresentButton;   // 発表: the round shown full-screen to a room
    QGroupBox* Frame1;
    QLabel* Label1;          // 名前
    QLabel* Label2;          // 順位
    QLabel* Label3;          // 点数
    QLabel* Label4;          // 正解率
    std::array<QLineEdit*, 10> Text1, Text2, Text3, Text4;
    QScrollBar* VScroll1;
    QLabel* Label6;
    QLabel* Label7;          // 名前
    QLabel* Label8;          // 参加
    std::array<QLineEdit*, 10> Text5, Text6;
    QScrollBar* VScroll2;
    QLabel* Label9;
    QLineEdit* Text7;        // status line
    QProgressBar* ProgressBar1;
    // How many recipients of the round's mailings the server refused; hidden
    // while there are none. They are named in the round's delivery log.
    QLabel* Undelivered;

    std::unique_ptr<Socket> Winsock1;   // SMTP
    std::unique_ptr<Timer> Timer1;      // its time-out
    std::unique_ptr<Socket> Winsock2;   // POP3
    std::unique_ptr<Timer> Timer2;      // its time-out

    // The window for editor button `command` (1..5, or 7 for the feedback
    // window). A button without a factory does nothing.
    void setEditorFactory(int command, EditorFactory factory);
    // The window made for button `command`, if it exists.
    EditorWindow* editorWindow(int command) const;
    // Hides this window and shows `editor` without waiting for it; when the
    // editor closes, in whatever way, this window comes back refreshed.
    void openEditor(EditorWindow* editor);

    // Status line, in system text.
    void setStatus(const SjisText& text);
    SjisText status() const;

    void Form_Load();
    void Form_Activate();
    void Form_Unload();
    // Fills the round selector from the round counter.
    void fillRoundSelector();
    // Shows the round the selector names: the current round empty, a past
    // round from its stored files, in red.
    void Combo1_Click();
    // Typing in the selector names a round without choosing it.
    void Combo1_Change();
    // Page the ranking grid and the joined-players grid.
    void VScroll1_Change();
    void VScroll2_Change();

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    // Opens the results window on the round the grids show: a past round
    // chosen in the selector, or the round START has just played.
    void ResultsButton_Click();
    // The results window, once it has been opened.
    ResultsWindow* resultsWindow() const;
    // Opens the presentation window full-screen: on the only screen, or on
    // the one the operator picks from the list the button pops up.
    void PresentButton_Click();
    void presentOn(QScreen* screen);
    // The presentation window while it is open, to which the round's updates
    // go too; nullptr when it is closed or was never opened.
    PresentationWindow* presentation() const;

    // The round's mail on Winsock1/Timer1 (SMTP) and Winsock2/Timer2 (POP3);
    // tests point its ports at servers of their own.
    RoundMailer& roundMail() { return *roundMail_; }
    // Whether START is playing a round (it has not returned yet).
    bool roundRunning() const { return round_ != nullptr; }

    // The grids as a round or the selector writes them: page `page` of the
    // ranking (from quizRun.Ranking) and of the joined players (from the
    // address list and 受信); or the first page, with the grid's scroll bar
    // set to page through `entries` entries.
    void showRankingPage(int page);
    void showJoinedPage(int page);
    void showRankingFromStart(int entries);
    void showJoinedFromStart(int entries);
    void clearGrids();


protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void editorClosed();

private:
    // The controls, one builder a group (editor buttons, round selector,
    // the grids, the progress lines, the feedback row).
    void buildControls();
    QPushButton* button(const char* caption);
    QHBoxLayout* editorButtons();
    QHBoxLayout* roundSelector();
    QGroupBox* resultsFrame();
    QWidget* rankingGrid();
    QWidget* joinedGrid();
    void addProgressLines(QVBoxLayout& page);
    QHBoxLayout* feedbackRow();
    // The sockets and timers of the round's mail, the sessions on them and
    // the wiring between them.
    void makeMailConnections();
    // The controls' events to their handlers.
    void wireConnections();
    void openEditorFor(int command);
    void showCurrentRound();
    void showPastRound();
    void setGridColours(bool past);
    void resetScrollBar(QScrollBar* bar);
    // Whether the selector's text is the round START plays next, as listed.
    bool selectorShowsCurrentRound() const;
    // The round whose results the grids now show (empty: none); an open
    // results window follows it.
    void followResultsRound(const SjisText& round);

    FolderSource appFolder_;
    std::array<EditorFactory, 8> editorFactories_;
    std::array<QPointer<EditorWindow>, 8> editors_;
    std::unique_ptr<Form1SessionView> sessionView_;
    std::unique_ptr<Form1RoundView> roundView_;
    std::unique_ptr<RoundMailer> roundMail_;
    QuizRound* round_ = nullptr;   // the round START is playing
    SjisText resultsRound_;
    QPointer<ResultsWindow> results_;
    QPointer<PresentationWindow> presentation_;

    bool activatedOnce_ = false;
    bool unloading_ = false;
};
