// online.h — the online score service: the account login, the message of the
// day, the online tables and the submission of the best local game.
//
// Everything here runs only while `OnlineEnabled` is 1 (set by "Online = True"
// in "Setup.ini"); switched off, the Online tab is neither drawn nor chosen
// and no connection is ever made. Requests are HTTP/1.0 GETs through `Thttp`
// to `ScoreServer`; each blocks the frame that sends it, for a bounded time.
#pragma once

#include <array>
#include <string>

#include "framework/setup.h"
#include "scores/scores.h"

// ---------------------------------------------------------------------------
// State
// ---------------------------------------------------------------------------
// OnlineEnabled (1 shows the Online tab) and ScoreServer are settings of
// "Setup.ini": framework/setup.h.
extern int LoginFocus;           // 0 none, 1 user name, 2 password field
extern int LoggedIn;             // 1 once a login was accepted; never cleared
extern int LoginFailed;          // 1 after a refused login, until one is accepted
extern int RefreshState;         // 0 idle, 1 requested, 2 fetch, 3 wait for release
extern int SubmittedThisRefresh; // scores sent in the current refresh
extern std::array<std::string, 20> MotdLines;  // entries 1..19 of the message of the day
extern int MotdCount;            // 0..19
extern ScoreTable OnlineList;    // fetched entries; GameMode = −(mode + 1)

// Start-up values of everything above (switch off, logged out, nothing fetched).
void ResetOnline();

// ---------------------------------------------------------------------------
// Requests
// ---------------------------------------------------------------------------
// Replaces * " ' - + & ? { } [ ] ~ # \ / : ; by "_" in LoginName and
// LoginPassword.
void SanitiseCredentials();
// Scrambled (hex) payloads: the account, and the account with a record.
std::string LoginPayload();
std::string ScorePayload(const Scores& record);
// GameMode + 100 × Level + 1000 × GameFlags, in decimal.
std::string TableId(int mode, int level, int flags);
// Paths on the score server (each begins with "/").
std::string LoginPath(const std::string& payload);
std::string ScorePath(const std::string& payload);
std::string TablePath(const std::string& tableId);
// The text after the first LF LF, up to the next, and so on alternately.
std::string ResponseBody(const std::string& reply);
// Reply bodies. Login and score answer "WRONG PASSWORD" without any traffic
// while the name or the password is shorter than 4 characters; a failed
// request answers "".
std::string SendLogin(const std::string& payload);
std::string SendScore(const std::string& payload);
std::string FetchTable(const std::string& tableId);

// ---------------------------------------------------------------------------
// The Online tab
// ---------------------------------------------------------------------------
// The form's red line after a refused login ("" while none was refused):
// "USERNAME TOO SHORT", "PASSWORD TOO SHORT", "LOCKED, TRY LATER" (the
// server locks a name for a while after wrong passwords) or "WRONG PASSWORD".
std::string LoginErrorText();
// One frame of editing a login field: one typed character, or Backspace.
std::string EditText(const std::string& text);
// Sends the login; accepted, it reads the message of the day and asks for the
// table on show.
void TryLogin();
// Sends TableBest (the best local game of the table on show), if any.
void SubmitScore();
// State 2 of the refresh: fetch the table on show, file its entries and send
// the best local game where it belongs in it.
void FetchTableOnShow();
// While the Online tab is shown (P, W: the panel's left edge and width): the
// login form or the logged-in view, then refresh states 2 and 3.
void DrawOnlinePanel(int P, int W);
// Every title frame: the online board once logged in, then refresh state 1.
void OnlineEachFrame(int P, int W, bool tabShown);
