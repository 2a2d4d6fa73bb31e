#pragma once
// The program's own scan over the loaded bank.

namespace talvaro {

struct Context;

void start_bank_scan(Context& cx);

}  // namespace talvaro
