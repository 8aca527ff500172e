#pragma once
// The engine's public face: what the application and the tools include.
//
//  - TTomeDatabase (database.h): one database file, its password, its tables,
//    and the hooks through which the engine reaches the user (login prompt,
//    flush timer).
//  - TTomeSession, TTomeSessionList, Sessions(), Session() (session.h): the
//    process-wide sessions, and the wait-cursor hook.
//  - TTomeTable (table.h): a cursor over one table, with fields, filters,
//    finds and record writing.
//
// Every failure is an EDatabaseError (core/errors.h) carrying the engine's
// message and its kind (Kind(): damaged file, locked, access denied, ...), on
// which callers branch rather than on the text; a cancelled login prompt
// raises the silent EAbort, which callers let pass without showing anything.

#include "core/errors.h"
#include "tomedb/database.h"
#include "tomedb/session.h"
#include "tomedb/table.h"
