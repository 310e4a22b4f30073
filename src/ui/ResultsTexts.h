#pragma once
// Every text of the results window, its charts, its exported files and its
// report, in one place. UTF-8; "%1" … are filled in with QString::arg.
namespace ResultsTexts {

inline constexpr char kWindow[] = "結果";
inline constexpr char kRoundTitle[] = "第%1回クイズ大会";
inline constexpr char kHeading[] = "第%1回クイズ大会 結果";
inline constexpr char kHeadingName[] = "見出し";
inline constexpr char kSummary[] = "参加 %1人　問題 %2問　満点 %3点";
inline constexpr char kSummaryName[] = "概要";
inline constexpr char kNoResults[] = "この回の結果はまだありません。";
// Beneath a ranking where players are level on points (the presentation's too).
inline constexpr char kTieRule[] = "同点は先に回答した人が上位です。";

inline constexpr char kPages[] = "結果の表示";
inline constexpr char kTablePage[] = "成績表";
inline constexpr char kChartsPage[] = "グラフ";

// The table's columns; per question an answer and a mark column.
inline constexpr char kRank[] = "順位";
inline constexpr char kName[] = "名前";
inline constexpr char kAddress[] = "アドレス";
inline constexpr char kPoints[] = "点数";
inline constexpr char kCorrect[] = "正解数";
inline constexpr char kPercent[] = "正解率";
inline constexpr char kAnswerColumn[] = "問%1 回答";
inline constexpr char kMarkColumn[] = "問%1 正誤";
inline constexpr char kPercentCell[] = "%1%";
// An answer cell that holds no choice.
inline constexpr char kUnreadable[] = "判読不可";
inline constexpr char kNoAnswerLine[] = "答の行なし";
inline constexpr char kUnanswered[] = "無回答";

// The charts.
inline constexpr char kQuestionChoice[] = "問題";
inline constexpr char kQuestionChoiceName[] = "回答の分布の問題";
inline constexpr char kQuestionItem[] = "問%1";
inline constexpr char kAnswersTitle[] = "問%1の回答（回答 %2人、無回答 %3人）";
inline constexpr char kAnswersName[] = "問%1の回答";
inline constexpr char kAnswersNone[] = "回答の分布";
inline constexpr char kCorrectChoice[] = "%1 ○";          // on the axis
inline constexpr char kCorrectSpoken[] = "%1（正解）";    // read out
inline constexpr char kInvalid[] = "無効";
inline constexpr char kShareTitle[] = "問題ごとの正解率";
inline constexpr char kPointsTitle[] = "得点の分布";
inline constexpr char kTurnoutTitle[] = "参加状況";
inline constexpr char kInvited[] = "招待";
inline constexpr char kJoined[] = "参加";
inline constexpr char kFinished[] = "最後まで回答";
inline constexpr char kPercentAxis[] = "正解率（%）";
inline constexpr char kQuestionAxis[] = "問題";
inline constexpr char kChoiceAxis[] = "選択肢";
inline constexpr char kPointsAxis[] = "点数";
inline constexpr char kPointsBin[] = "%1点";
inline constexpr char kPointsRange[] = "%1〜%2点";
inline constexpr char kPointsRangeShort[] = "%1〜%2";   // on the axis, titled 点数

// What a screen reader says of each chart: its numbers.
inline constexpr char kListSeparator[] = "、";
inline constexpr char kPeople[] = "%1 %2人";
inline constexpr char kChoicePeople[] = "%1 %2 %3人";
inline constexpr char kAnswersAlt[] = "問%1の回答: %2。回答 %3人、無回答 %4人。";
inline constexpr char kShareItem[] = "問%1 %2%（%3/%4人）";
inline constexpr char kShareAlt[] = "問題ごとの正解率: %1。";
inline constexpr char kPointsAlt[] = "得点の分布: %1。";
inline constexpr char kTurnoutAlt[] = "参加状況: %1。";
inline constexpr char kNothingAlt[] = "%1: データがありません。";

// Buttons.
inline constexpr char kSaveCsv[] = "CSVで保存";
inline constexpr char kSavePdf[] = "PDFで保存";
inline constexpr char kSaveImage[] = "画像で保存";
inline constexpr char kSaveImageName[] = "「%1」を画像で保存";
inline constexpr char kClose[] = "閉じる";

// Saving.
inline constexpr char kCsvDialog[] = "成績表をCSVで保存";
inline constexpr char kPdfDialog[] = "結果の報告をPDFで保存";
inline constexpr char kImageDialog[] = "グラフを画像で保存";
inline constexpr char kCsvFilter[] = "CSV (*.csv)";
inline constexpr char kPdfFilter[] = "PDF (*.pdf)";
inline constexpr char kImageFilter[] = "PNG画像 (*.png)";
inline constexpr char kTableFile[] = "第%1回クイズ大会-結果";   // .csv and .pdf
inline constexpr char kAnswersFile[] = "第%1回クイズ大会-回答の分布-問%2";
inline constexpr char kShareFile[] = "第%1回クイズ大会-正解率";
inline constexpr char kPointsFile[] = "第%1回クイズ大会-得点の分布";
inline constexpr char kTurnoutFile[] = "第%1回クイズ大会-参加状況";
inline constexpr char kNotSaved[] =
    "「%1」に保存できませんでした（%2）。保存先のフォルダに書き込めるか、ディスクに空きがあるかを確かめて、"
    "もう一度保存して下さい。";

// The report.
inline constexpr char kHeldOn[] = "実施日 %1";
inline constexpr char kMadeOn[] = "作成日 %1";
inline constexpr char kDateFormat[] = "yyyy年M月d日";
inline constexpr char kTopRanks[] = "上位%1位";

}  // namespace ResultsTexts
