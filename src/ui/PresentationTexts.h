#pragma once
// Every text of the presentation window, in one place. UTF-8; "%1" … are
// filled in with QString::arg.
namespace PresentationTexts {

inline constexpr char kWindow[] = "発表";
inline constexpr char kTitle[] = "第%1回クイズ大会";
inline constexpr char kTitleName[] = "大会名";

// What the round is doing, in the largest type.
inline constexpr char kStageName[] = "進行";
inline constexpr char kBeforeStart[] = "まもなく始まります";
inline constexpr char kInviting[] = "参加受付中";
inline constexpr char kQuestion[] = "第%1問";
inline constexpr char kFinal[] = "最終結果";
inline constexpr char kNoResults[] = "この回の結果はまだありません。";
inline constexpr char kEnded[] = "終了しました";

inline constexpr char kCountdownName[] = "残り時間";
inline constexpr char kCountdown[] = "残り %1:%2";
inline constexpr char kClosed[] = "締切";

inline constexpr char kJoinedName[] = "参加人数";
inline constexpr char kJoined[] = "参加 %1人";

// The top ten beside the answers, and the places below the podium.
inline constexpr char kRankingName[] = "順位表";
inline constexpr char kRowName[] = "順位 %1";
inline constexpr char kRow[] = "%1位　%2　%3点";
// The podium: each step names its place, its player and the points.
inline constexpr char kPodiumName[] = "表彰台";
inline constexpr char kPodiumPlaceName[] = "表彰台 %1位";
inline constexpr char kPlace[] = "%1位";
inline constexpr char kPlayer[] = "%1\n%2点";

// The main window's choice of screen, where there is more than one.
inline constexpr char kScreenMenu[] = "発表する画面";
inline constexpr char kScreenItem[] = "画面%1: %2 (%3×%4)";

}  // namespace PresentationTexts
