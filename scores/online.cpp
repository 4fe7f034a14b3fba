// online.cpp — the online score service behind the title screen's Online tab.
//
// Layout of the tab, in virtual pixels from the panel's left edge P: the
// account form fills the panel's lower part (its fields end 30 pixels above
// the bottom); once logged in, the "Refresh Scores" button sits at y 120 and
// the message of the day below it, above the online board.
#include "scores/online.h"

#include <algorithm>

#include "draw/draw.h"
#include "draw/strings.h"
#include "framework/game_info.h"
#include "framework/graphics.h"
#include "framework/setup.h"
#include "framework/sound.h"
#include "platform/platform.h"
#include "scores/board.h"
#include "scores/http.h"
#include "scores/scores.h"

int LoginFocus = 0;
int LoggedIn = 0;
int LoginFailed = 0;
int RefreshState = 0;
int SubmittedThisRefresh = 0;
std::array<std::string, 20> MotdLines;
int MotdCount = 0;
ScoreTable OnlineList;

namespace {

constexpr int SfxOnline = 99;  // focus change, fetch start and end
constexpr int MinCredential = 4;  // characters, name and password alike
constexpr int TableEntries = 30;  // entries read from a table file
constexpr int MotdMax = 19;
constexpr int KeyBackspace = 8, KeyTab = 9, KeyEnter = 13, KeyUp = 38, KeyDown = 40;

int PreviousFocus = 0;  // LoginFocus at the previous form frame
// Set by a press on "Login" until the left button is up again: one press
// sends one login, however many frames it is held.
bool LoginLatch = false;
// The last refused login was refused because the name is locked for now.
bool LoginLocked = false;
bool LastRequestFailed = false;  // no connection, or no complete reply in time

bool TooShort() {
    return static_cast<int>(LoginName.size()) < MinCredential ||
           static_cast<int>(LoginPassword.size()) < MinCredential;
}

// One request to the score server; the reply's body, "" when it failed.
std::string Request(const std::string& path) {
    Thttp http;
    std::string reply;
    if (http.Open(ScoreServer, 0)) reply = http.Get(path);
    http.Close();
    LastRequestFailed = reply.empty();  // even a refusal has a status line
    return ResponseBody(reply);
}

std::string Credentials() {
    return LoginName + "|" + Scramble(LoginName + "|" + LoginPassword, AccountKey);
}

bool OnOnlineTable(const Scores& r) {
    return r.GameMode == -(CurGameMode + 1) && r.Level == CurLevel && r.GameFlags == CurGameFlags;
}

// A login field: label, box and text with its cursor. blinkAbove: the cursor
// shows in the upper part of the blink period (user name) or the lower part
// (password), so the two fields never blink together.
void LoginField(int P, int labelY, int focusValue, std::string& text, bool starred,
                bool blinkAbove) {
    const int H = ScreenHeight;
    SetFont(1, 2);
    SetDrawColor(0, 180, 255, 1);
    DrawTextAligned(P + 10, H - labelY, focusValue == 1 ? "Username" : "Password", 0, 0);

    SetFont(1, 3);
    SetDrawColor(255, 255, 0, 1);
    const uint32_t now = MilliSecs();
    bool cursor = blinkAbove ? now % 750 >= 325 : now % 750 < 325;
    if (LoginFocus == focusValue) {
        SetDrawColor(100, 255, 100, 1);
        cursor = blinkAbove ? now % 500 >= 250 : now % 500 < 250;
    }
    const int boxX = P + 20, boxY = H - labelY + 30, boxW = 200, boxH = 30;
    const bool inside = MouseInRect(boxX, boxY, boxW, boxH);
    if (inside) {
        SetDrawColor(100, 255, 255, 1);
        if (MouseDown(1)) {
            LoginFocus = focusValue;
            FlushKeys();
        }
    }
    const std::string shown = starred ? std::string(text.size(), '*') : text;
    DrawTextAligned(boxX, boxY, shown + (cursor ? "_" : ""), 0, 0);
    if (LoginFocus == focusValue) {
        text = EditText(text);
        if (MouseDown(1) && !inside) LoginFocus = 0;
    }
}

void DrawLoginForm(int P) {
    const int H = ScreenHeight;
    int y = H - 542;
    auto line = [&](int x, const char* text) {
        DrawTextAligned(x, y, text, 0, 0);
        y += 30;
    };
    SetFont(1, 3);
    SetDrawColor(255, 255, 255, 1);
    line(P + 10, "If you're new..");
    line(P + 30, "Use a new name,");
    line(P + 30, "and you'll be registered.");
    y += 30;
    SetDrawColor(255, 255, 180, 1);
    line(P + 10, "If you're returning..");
    line(P + 30, "Simply log back in.");
    y += 30;
    SetDrawColor(180, 255, 255, 1);
    line(P + 10, "Use a password that's");
    line(P + 30, "easy to remember!!");
    if (LoginFailed) {
        y += 30;
        SetDrawColor(255, 0, 0, 1);
        DrawTextAligned(P + 10, y, LoginErrorText(), 0, 0);
    }

    // Taken before the fields: a focus set by a click in this frame is heard
    // in the next one, like a focus moved by a key.
    if (LoginFocus != PreviousFocus) PlaySfx(SfxOnline, 1, 1, 0);
    PreviousFocus = LoginFocus;
    LoginField(P, 150, 1, LoginName, false, true);
    LoginField(P, 90, 2, LoginPassword, true, false);

    SetFont(1, 2);
    SetDrawColor(255, 180, 0, 1);
    if (MouseInRect(P + 50, H - 30, 200, 30)) {
        SetDrawColor(0, 255, 255, 1);
        // Once per press: a held button sending a login every frame would
        // spend the server's wrong-password allowance in one click.
        if (MouseDown(1) && !LoginLatch) {
            LoginLatch = true;
            TryLogin();
        }
    }
    if (!MouseDown(1)) LoginLatch = false;
    DrawTextAligned(P + 70, H - 30, "Login", 0, 0);

    // Focus keys; each hit counts once, so Tab moves one step per press (and,
    // taken here, does not also open the settings panel).
    if (LoginFocus != 0 && KeyHit(KeyEnter)) LoginFocus = 0;
    if (LoginFocus == 1 && (KeyHit(KeyDown) || KeyHit(KeyTab))) {
        LoginFocus = 2;
    } else if (LoginFocus == 2 && (KeyHit(KeyUp) || KeyHit(KeyTab))) {
        LoginFocus = 1;
    }
}

void DrawLoggedInView(int P, int W) {
    SetFont(1, 4);
    SetDrawColor(255, 255, 255, 1);
    if (MouseInRect(P, 120, W, 50)) {
        SetDrawColor(0, 255, 255, 1);
        if (MouseDown(1) && RefreshState == 0) RefreshState = 1;
    }
    DrawTextAligned(P + W / 2, 120, "Refresh Scores", 1, 0);

    SetFont(1, 2);
    SetDrawColor(180, 180, 180, 1);
    for (int i = 1; i <= MotdCount; ++i) {
        if (i < 20 && !MotdLines[i].empty()) DrawTextAligned(P + 10, 150 + 20 * i, MotdLines[i], 0, 0);
    }
}

}  // namespace

void ResetOnline() {
    OnlineEnabled = 0;
    ScoreServer = "localhost";
    LoginFocus = 0;
    PreviousFocus = 0;
    LoginLatch = false;
    LoginLocked = false;
    LoggedIn = 0;
    LoginFailed = 0;
    RefreshState = 0;
    SubmittedThisRefresh = 0;
    for (auto& line : MotdLines) line.clear();
    MotdCount = 0;
    OnlineList.clear();
}

void SanitiseCredentials() {
    // Characters that would break the score server's query strings and paths.
    static const std::string banned = "*\"'-+&?{}[]~#\\/:;";
    for (std::string* field : {&LoginName, &LoginPassword}) {
        for (char& c : *field) {
            if (banned.find(c) != std::string::npos) c = '_';
        }
    }
}

std::string LoginPayload() { return Scramble(Credentials(), DefaultKey); }

std::string ScorePayload(const Scores& record) {
    return Scramble(Credentials() + "|" + RecordText(record, FramedSeparator), DefaultKey);
}

std::string TableId(int mode, int level, int flags) {
    return std::to_string(int64_t{mode} + 100 * int64_t{level} + 1000 * int64_t{flags});
}

std::string LoginPath(const std::string& payload) {
    return "/enscore/login.php?week=" + std::to_string(WeekNumber) + "&input=" + payload;
}

std::string ScorePath(const std::string& payload) {
    return "/enscore/scores.php?Week=" + std::to_string(WeekNumber) + "&Input=" + payload;
}

std::string TablePath(const std::string& tableId) {
    return "/enscore/tables/" + std::to_string(WeekNumber) + "/" + tableId + ".txt";
}

std::string ResponseBody(const std::string& reply) {
    std::string body;
    bool copying = false;
    for (size_t i = 0; i < reply.size(); ++i) {
        if (reply[i] == '\n' && i + 1 < reply.size() && reply[i + 1] == '\n') {
            copying = !copying;
            i += 2;
            if (i >= reply.size()) break;
        }
        if (copying) body += reply[i];
    }
    return body;
}

std::string SendLogin(const std::string& payload) {
    SanitiseCredentials();
    if (TooShort()) return "WRONG PASSWORD";
    return Request(LoginPath(payload));
}

std::string SendScore(const std::string& payload) {
    SanitiseCredentials();
    if (TooShort()) return "WRONG PASSWORD";
    return Request(ScorePath(payload));
}

std::string FetchTable(const std::string& tableId) {
    SanitiseCredentials();
    return Request(TablePath(tableId));
}

std::string LoginErrorText() {
    if (!LoginFailed) return "";
    // The name is judged first.
    if (static_cast<int>(LoginName.size()) < MinCredential) return "USERNAME TOO SHORT";
    if (static_cast<int>(LoginPassword.size()) < MinCredential) return "PASSWORD TOO SHORT";
    if (LoginLocked) return "LOCKED, TRY LATER";
    return "WRONG PASSWORD";
}

std::string EditText(const std::string& text) {
    std::string out = text;
    const int c = GetChar();
    if (c >= 32) out += static_cast<char>(c);
    if (KeyHit(KeyBackspace) && !out.empty()) out.pop_back();
    return out;
}

void TryLogin() {
    SanitiseCredentials();
    const std::string reply = SendLogin(LoginPayload());
    LoginFailed = 1;
    RefreshState = 0;
    // The server's answer while too many wrong passwords for this name came
    // from this address.
    LoginLocked = Left(reply, 6) == "LOCKED";
    if (Left(reply, 16) != "Password Correct" && Left(reply, 8) != "Welcome!") return;
    LoggedIn = 1;
    LoginFailed = 0;
    RefreshState = 1;  // fetch the table on show at once
    // The message is the text between the first and the second "|"; a reply
    // without one carries none. Its lines are cut here rather than with
    // SplitField, which gives a text without a separator back whole as its
    // second field and would show a one-line message twice.
    const std::string motd =
        reply.find('|') == std::string::npos ? std::string() : SplitField(reply, "|", 2);
    MotdCount = 0;
    const std::string text = Trim(motd);
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        if (line.empty() || line == MissingField) break;  // a blank line or "-+-" ends it
        if (MotdCount < MotdMax) MotdLines[++MotdCount] = Trim(line);
        start = end + 1;
    }
}

void SubmitScore() {
    if (!TableBest) return;
    ++SubmittedThisRefresh;
    SendScore(ScorePayload(*TableBest));  // the server's answer is not needed
}

void FetchTableOnShow() {
    PlaySfx(SfxOnline, 0.5f, 1, 0);
    const std::string reply = FetchTable(TableId(CurGameMode, CurLevel, CurGameFlags));
    // An HTML page in place of the table: a table with an entry of its own
    // comes first, so a name holding "<head>" cannot pass for one.
    if (Upper(reply).find("<HEAD>") != std::string::npos &&
        !ParseRecord(SplitField(reply, "\n", 1), SplitField(reply, "\n", 2))) {
        SubmitScore();  // no table yet: an HTML page in its place
    } else {
        int read = 0;
        for (int i = 1; i <= TableEntries; ++i) {
            const std::string a = SplitField(reply, "\n", 2 * i - 1);
            const std::string b = SplitField(reply, "\n", 2 * i);
            const ScoreRef entry = ParseRecord(a, b);
            if (!entry) continue;
            ++read;
            entry->GameMode = -entry->GameMode - 1;  // |mode| as read, made an online mode
            OnlineList.push_back(entry);
            if (SubmittedThisRefresh == 0 && TableBest && TableBest->Score >= entry->Score)
                SubmitScore();
        }
        // A table that could not be fetched is not a short one: the server is
        // unreachable or stalled, and a second request would only block the
        // frame as long again.
        if (read < TableEntries && SubmittedThisRefresh == 0 && !LastRequestFailed) SubmitScore();
    }
    SortScoreList(ScoreList);
    SortScoreList(OnlineList);
    PlaySfx(SfxOnline, 1, 1, 0);
}

void DrawOnlinePanel(int P, int W) {
    if (OnlineEnabled != 1) return;
    if (LoggedIn) {
        DrawLoggedInView(P, W);
    } else {
        DrawLoginForm(P);
    }
    if (RefreshState == 2) {
        FetchTableOnShow();
        RefreshState = 3;
    } else if (RefreshState == 3 && !MouseDown(1)) {
        RefreshState = 0;
        SubmittedThisRefresh = 0;
    }
}

void OnlineEachFrame(int P, int W, bool tabShown) {
    if (OnlineEnabled != 1 || !LoggedIn) return;
    SetDrawColor(255, 255, 255, 1);
    DrawScoreBoard(OnlineList, P, W, -(CurGameMode + 1), CurLevel, CurGameFlags, tabShown);
    if (RefreshState == 1) {
        OnlineList.remove_if([](const ScoreRef& r) { return OnOnlineTable(*r); });
        RefreshState = 2;
    }
}
