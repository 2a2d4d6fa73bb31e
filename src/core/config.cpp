#include "core/config.h"

#include "core/context.h"

namespace talvaro {

bool read_configuration(Context& cx) {
  State& st = cx.st;
  if (open_text_file(st.config_file, "TALVARO.CFG", "R") != 0) return false;

  // Only fixed character positions count; whatever stands before them is
  // never looked at. Missing lines read as "".
  Text line;  // a read at end of file leaves ""
  read_line(st.config_file, line);
  st.config_port_text = mid(line, 5);
  read_line(st.config_file, line);
  st.config_baud_text = mid(line, 7);
  read_line(st.config_file, line);  // line 3: kept by the setup program, not used
  read_line(st.config_file, line);
  st.voice_enabled = round_to_int(numeric_value(mid(line, 7, 1)));
  read_line(st.config_file, line);
  st.debug_enabled = round_to_int(numeric_value(mid(line, 7, 1)));

  close_text_file(st.config_file);
  return true;
}

}  // namespace talvaro
