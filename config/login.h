#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace config {

// Where the program's configuration files (db.ini, conexion.ini) are looked
// for, in this order: the bare name (the working folder, followed after a
// change of folder), the user's configuration folder ($XDG_CONFIG_HOME or
// ~/.config), then /etc. Without Qt, so the command-line tool shares it.
std::vector<std::string> ConfigFilePlaces(const std::string& file_name);
// The file of that name in the user's own configuration folder (what the
// program writes there, such as the windows' remembered sizes); empty
// when neither XDG_CONFIG_HOME nor HOME says where that is.
std::string UserConfigPlace(const std::string& file_name);

// The login parts a site may set; an unset part falls back to the next source.
struct Login {
    std::optional<std::string> user_name;
    std::optional<std::string> password;
    std::optional<std::string> sql_role_name;
};

// A conexion.ini's lines: user_name=, password=, sql_role_name=; blank lines
// and lines starting with # or ; are ignored. Raises runtime::Exception,
// naming the file and line but never a value, on any other line.
Login ParseConnectionFile(const std::string& bytes, const std::string& shown_name);

// Reads the first conexion.ini of `places` (none: an empty login). Refuses,
// with a message saying how to fix it, a file that others than its owner
// can read (for one under /etc/, others than owner and group): it holds a
// password.
Login ReadConnectionFile(const std::vector<std::string>& places);

// Per part: the environment (ISC_USER, ISC_PASSWORD, ISC_ROLE, as every
// Firebird client tool reads them) over the file over the built-in login.
// `environment` answers a variable's value, nullptr when unset.
Login ResolveLogin(const Login& file, const std::function<const char*(const char*)>& environment);

// The connection's parameter lines for the login the program uses now:
// the process environment, the first conexion.ini, the built-in login.
std::vector<std::string> LoginLines(const Login& login);
std::vector<std::string> ProgramLoginLines();
// Those lines followed by the connection's other settings.
std::vector<std::string> ProgramConnectionLines(const std::vector<std::string>& settings);

}  // namespace config
