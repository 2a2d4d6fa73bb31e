#pragma once
// Every clip the panel can play, by file name (without ".wav"). The clip
// generator produces exactly this set; names are matched without regard to
// case, so "WFM", "wfm" and "wfm.wav" are one file.

#include <array>
#include <string_view>

namespace talvaro {

inline constexpr std::array<std::string_view, 77> clip_inventory = {
    "talvaro", "0",     "1",         "2",      "3",       "4",    "5",        "6",      "7",        "8",        "9",
    "point",   "a",     "b",         "c",      "d",       "e",    "f",        "g",      "h",        "i",        "j",
    "cfnf",    "shdel", "connected", "rnc",    "scan",    "stop", "exitscan", "pass",   "cont",     "stmode",   "start",
    "end",     "incr",  "srch",      "act",    "srching", "bf",   "inv",      "ok",     "quit",     "help",     "test",
    "svoice",  "on",    "off",       "kill",   "delete",  "bank", "sort",     "put",    "transfer", "radbank",  "write",
    "fromb",   "torb",  "sel",       "create", "incmode", "n",    "bnf",      "wait",   "beep",     "ckconfig", "wfm",
    "fm",      "am",    "usb",       "lsb",    "cw",      "auto", "atton",    "attoff", "noise",    "s",        "plus",
};

}  // namespace talvaro
