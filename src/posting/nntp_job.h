#pragma once

// What the one NNTP connection in use is for. The program keeps one of these for the whole run:
// the newsgroup list fetches set it to 1 or 3, the posting session to 4, and a connection that
// reaches "no connection" sets it back to 0.
enum NntpJobKind : int {
    jobNothing = 0,
    jobAllNewsgroups = 1,
    jobNewNewsgroups = 3,
    jobPosting = 4,
};

struct TNNTPJob {
    int Value = jobNothing;
};
