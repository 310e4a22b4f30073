#pragma once
#include "run/RoundSetup.h"
#include "run/Waiting.h"

// What a round shows while it plays: the main window's status line and
// progress bar (the countdown's view), its buttons, and the two grids with
// their count lines. The grids are written from the round state in Module1
// (the address list, the ranking) and 受信 in the window variables.
class RoundView : public CountdownView {
public:
    // The editor buttons, START, the feedback button and the round selector:
    // off while a round runs, so no second round starts inside the first and
    // no set-up file changes under it.
    virtual void setControlsEnabled(bool on) = 0;
    // Every row of both grids emptied, and both count lines.
    virtual void clearGrids() = 0;
    // Page 0 of the joined-players grid from the address list; its scroll bar
    // pages through `entries` entries. The joined marks show once 受信 is set.
    virtual void showJoinedPlayers(int entries) = 0;
    // Both count lines: 参加人数(<count>人).
    virtual void showParticipantCount(int count) = 0;
    // How many recipients of the round's mailings could not be reached
    // (refused by the server); 0 hides the count.
    virtual void showUndelivered(int count) = 0;
    // Page 0 of the ranking grid from the latest ranking; its scroll bar
    // pages through all of it.
    virtual void showRanking() = 0;
    // The window's state after a stored round: the round selector refilled
    // from the counter (the next round), the scroll bars back at one page.
    virtual void reload() = 0;
    // The round may send to more recipients than the provider takes a day:
    // true when the operator chooses to start it even so.
    virtual bool goOnOverDailyLimit(const RoundRecipients& most, int dailyLimit) = 0;
};
