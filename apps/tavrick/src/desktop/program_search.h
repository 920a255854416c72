#pragma once
// Where child programs are found: a fixed list of folders, never the current folder, so that a
// program of the same name lying where the user happens to be (Downloads, say) is not run.

#include <expected>
#include <filesystem>
#include <string>
#include <string_view>

namespace tavrick {

/// The running program's full path, however long; the system's error text when the system
/// cannot tell it. Any thread.
[[nodiscard]] std::expected<std::filesystem::path, std::string> own_program_path();

/// The file name of the program `name` on this platform: `name` itself on Linux, with ".exe"
/// on Windows. Pure.
[[nodiscard]] std::string program_file_name(std::string_view name);

/// The file to start for the child program `name`. A name with a folder in it is taken as it is.
/// A bare name is looked up in the running program's folder, then (Windows) the system folder
/// and the Windows folder, then in each folder of PATH that is an absolute path; the current
/// folder is never searched, also not through an empty or relative PATH entry. Windows adds
/// ".exe" to a name without an extension; Linux takes only a file it may execute. The system's
/// text for a missing file ("(os error 2)") when the program is found nowhere. Any thread.
[[nodiscard]] std::expected<std::filesystem::path, std::string> find_program(std::string_view name);

}  // namespace tavrick
