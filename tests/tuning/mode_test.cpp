#include "tuning/mode.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "panel/display.h"
#include "support/fakes.h"

namespace talvaro {
namespace {

using testing::Panel;

// F1 to F7 (typed "p" to "v"), F8, A and L on a connected panel: what each
// says, sends and leaves in the mode line (Ariel 50 at 380, 80, six blanks
// after); the attenuator and noise limiter alternate.
TEST(ModeKeys, EachKeySpeaksSendsAndShowsItsMode) {
  const std::string blanks(6, ' ');
  const std::tuple<std::string, std::string, std::string, std::string> rows[] = {
      {"p", "fm", "MD1", "FM"},
      {"u", "cw", "MD5", "CW "},
      {"v", "auto", "AU1", "AUT"},
      {"w", "", "", "AUT"},
      {"AL", "atton noise on", "AT1|NL1", "AUT"},
      {"AL", "attoff noise off", "AT0|NL0", "AUT"}};
  Panel p;
  for (const auto& [keys, clips, wire, mode] : rows) {
    p.type(keys);
    EXPECT_EQ(std::tuple(p.spoken(), p.sent(), p.st.mode_text.str()), std::tuple(clips, wire, mode)) << keys;
    if (keys.size() == 1 && !clips.empty()) {
      EXPECT_EQ(std::tuple(p.at(380, 80).text, p.at(380, 80).font),
                std::tuple(mode + blanks, FontSpec{"Ariel", 50, 700}));
    }
    p.forget();
  }
}

// CW leaves "Aerial" 30 for the prints after it, whatever font was set.
TEST(ModeKeys, CwLeavesAerial30) {
  Panel p;
  set_font(*p.cx, "Ariel", 70, 700);
  select_mode(*p.cx, ModeMember::cw);
  EXPECT_EQ(p.cx->text_state.font, (FontSpec{"Aerial", 30, 700}));
}

// A mode text that is none of the seven (say one read from a state record)
// is shown, neither spoken nor sent; with the voice off the seven still send.
TEST(ApplyMode, UnknownModeIsOnlyShownAndVoiceOffStillSends) {
  for (const auto& [mode, voice, clips, wire] :
       {std::tuple{"CW", true, "", ""}, {"", true, "", ""}, {"WFM", true, "wfm", "MD0"}, {"USB", false, "", "MD3"}}) {
    Panel p;
    if (!voice) p.st.wave_path = "";
    p.st.mode_text = mode;
    apply_mode(*p.cx);
    EXPECT_EQ(std::tuple(p.at(380, 80).text, p.spoken(), p.sent()),
              std::tuple(std::string(mode) + std::string(6, ' '), std::string(clips), std::string(wire)))
        << mode;
  }
}

}  // namespace
}  // namespace talvaro
