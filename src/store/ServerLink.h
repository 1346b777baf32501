#pragma once

// How a connection to the lab server is opened and how long a call on it may
// wait. A lab server answers within milliseconds; what takes seconds is a
// server out of reach, and the window must never wait for TCP to give up.

#include "DatabaseSettings.h"

#include <QString>

class QSqlDatabase;

namespace Tool::Sql {

// The longest an interactive call (a dialog, a report, a certificate) waits
// for the server in all, name lookup and every address included.
inline constexpr int InteractiveBudgetMs = 5000;

// The libpq options of a connection to `settings`' server that is set up
// within `budgetMs`: the host name resolved here within a part of the budget
// (libpq's own lookup has no time-out), at most as many of its addresses as
// the rest allows at libpq's shortest connect_timeout, keepalives,
// tcp_user_timeout and the session's statement, lock and idle-in-transaction
// time-outs. False when the name is not resolved in time (`error` says so).
bool serverConnectOptions(const DatabaseSettings& settings, int budgetMs, QString* options, QString* error);

// Opens `db` (already given host, user and database) within `budgetMs`.
bool openWithin(QSqlDatabase& db, const DatabaseSettings& settings, int budgetMs, QString* error = nullptr);

// A call on `db` that may wait at most `budgetMs` for the server: past it,
// while the connection is waiting for an answer that does not come, the
// socket is shut down from a watchdog thread, so the blocked libpq call
// returns with an error (and the connection reads as broken). A connection
// that is receiving (a large result) is left alone.
class CallWatch
{
public:
    CallWatch(const QSqlDatabase& db, int budgetMs);
    ~CallWatch();
    CallWatch(const CallWatch&) = delete;
    CallWatch& operator=(const CallWatch&) = delete;
    // True when the watchdog cut this call's connection.
    bool cut() const;

private:
    int m_id = 0;
};

// The default connection's calls on the GUI thread share one budget per turn
// of the event loop: what one user action (opening a dialog) asks of the
// server together waits at most the budget, and a connection that failed
// once is not tried again in that turn. 0 (the default, for tools and tests
// without a window) leaves the calls unbounded except by libpq's options.
void setInteractiveBudget(int ms);
int interactiveBudget();
// Called before each call on the default connection: arms the turn's watch.
void watchInteractiveCall(const QSqlDatabase& db);
// The time left of the current turn's budget (the whole budget outside a turn).
int interactiveTimeLeft();
// A connect that failed in this turn: no other connect until the next turn.
void markInteractiveConnectFailed();
bool interactiveConnectFailed();
// Forgets the connection (before the default connection closes).
void unwatchInteractive();

} // namespace Tool::Sql
