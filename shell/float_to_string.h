#pragma once

// Writes value as text of exactly maxLength characters when it fits: sign,
// integer digits (the leading ones dropped when too many), a point, then
// truncated fraction digits up to the length. 20 gives "20.00000", 0.01f
// gives "0.009999". Values beyond 99,999,999 (9,999,999 when negative) and
// non-finite values leave text as it is.
void float2string(float value, char* text, int maxLength);
