#include "setup/session.h"

#include "core/text.h"

namespace talvaro::setup {

Session start_session(PortFinder& finder) {
  Session session;
  session.ports = number_ports(finder.find_ports());
  if (auto existing = read_settings(config_name)) {
    session.settings = *existing;
    session.had_file = true;
  } else if (!session.ports.empty()) {
    choose_port(session, 0);
  }
  return session;
}

void choose_port(Session& session, std::size_t index) {
  session.chosen = index;
  session.settings.port_text = port_text(session.ports[index].port.number);
}

std::string baud_text(int baud) { return decimal(baud); }

SaveResult save(PortFinder& finder, const Session& session) {
  const NumberedPort* link = session.chosen ? &session.ports[*session.chosen] : nullptr;
  return save_settings(finder, config_name, session.settings, link);
}

}  // namespace talvaro::setup
