// Rewriting line ends in place: lists written on Windows end every line with
// CR LF, and such a list must read as fast as one with LF alone.
#pragma once

namespace textio {

// Rewrites [from, end) in place so that CR LF, a lone CR and NUL each become
// one LF (a CR at `end` is a lone CR); returns the new end.
char* rewriteLineEnds(char* from, char* end);

}  // namespace textio
