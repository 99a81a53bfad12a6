#pragma once

#include "RequestComposer.h"

class EngineLine;
class RunProject;

// An IndexNow engine's request: a GET of its submit address with the page
// and the key, whatever its parameter-name and method fields hold:
//   SubmitUrl?url=<Project URL, percent-encoded>&key=<key>
// with SiteUrl as the referring page. Only RFC 3986 unreserved characters
// stay as they are, so the URL arrives whole; a well-formed key holds
// nothing else, and a malformed one is encoded too so it cannot add
// parameters of its own.
ComposedRequest ComposeIndexNowRequest(const EngineLine& engine, const RunProject& project);

// The Project file key the IndexNow key is stored under.
QString indexNowKeyName();

// The text of an IndexNow answer that came without a reason phrase: the
// protocol's meaning of the code, which keeps its code (a bare "403" must
// not read as "OK").
QString indexNowStatusText(int code);
