# Run by `cmake --install` (and by CPack): writes the application menu's desktop entry and
# the session bus's service file from their templates, with Exec naming the installed
# launcher, <prefix>/bin/mindel, where the program will live once installed (without DESTDIR,
# which only stages the files). MINDEL_DESKTOP_TEMPLATE and MINDEL_SERVICE_TEMPLATE name the
# templates; CMAKE_INSTALL_PREFIX and DESTDIR are the install's own.
set(program "${CMAKE_INSTALL_PREFIX}/bin/mindel")

# Exec quoting of the desktop entry format: the path in double quotes, with '"', '`', '$'
# and '\' behind a backslash and '%' doubled; then the backslashes of the string value
# itself doubled. GLib looks for the program before it undoes "%%", so a program with a
# '%' in its path is started through env.
set(quoted "${program}")
string(REPLACE "\\" "\\\\" quoted "${quoted}")
string(REPLACE "\"" "\\\"" quoted "${quoted}")
string(REPLACE "`" "\\`" quoted "${quoted}")
string(REPLACE "$" "\\$" quoted "${quoted}")
string(REPLACE "%" "%%" quoted "${quoted}")
string(REPLACE "\\" "\\\\" quoted "${quoted}")
set(MINDEL_EXEC "\"${quoted}\"")
if(program MATCHES "%")
  set(MINDEL_EXEC "env ${MINDEL_EXEC}")
endif()

set(entry "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/applications/com.quorv.Mindel.desktop")
message(STATUS "Installing: ${entry}")
configure_file("${MINDEL_DESKTOP_TEMPLATE}" "${entry}" @ONLY)
file(CHMOD "${entry}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${entry}")

# The bus starts Mindel by this file when a launcher activates it by name (DBusActivatable) or
# a script calls one of its actions while it is not running. Its Exec is split the way a shell
# splits words: the path in double quotes, with '"', '`', '$' and '\' behind a backslash.
set(quoted "${program}")
string(REPLACE "\\" "\\\\" quoted "${quoted}")
string(REPLACE "\"" "\\\"" quoted "${quoted}")
string(REPLACE "`" "\\`" quoted "${quoted}")
string(REPLACE "$" "\\$" quoted "${quoted}")
set(MINDEL_SERVICE_EXEC "\"${quoted}\"")
set(service "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/share/dbus-1/services/com.quorv.Mindel.service")
message(STATUS "Installing: ${service}")
configure_file("${MINDEL_SERVICE_TEMPLATE}" "${service}" @ONLY)
file(CHMOD "${service}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${service}")
