// Passwords and key texts shared by the package builder and the installer: the data-cipher
// passwords of the enciphered configuration files and the text of the "KEY" resource.
#pragma once

// Wizard texts "GUItext.ini".
inline constexpr char kGuiTextPassword[] = "qxp";
// Component script store "choomarlowe.ini".
inline constexpr char kScriptStorePassword[] = "marlowe";
// Exclusion list "Except.ini": one fixed printable character, the same on both sides.
inline constexpr char kExceptPassword[] = "Q";
// Bytes of the "KEY" resource (id 250) of setup.exe; the configuration archive's password is
// the lower-case MD5 hex of these bytes. resources/key.bin holds the same three digits.
inline constexpr char kKeyResourceText[] = "486";
