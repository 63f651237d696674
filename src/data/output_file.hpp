#pragma once
// A file written whole or not at all. The text goes to a new temporary file in the
// folder of its final name (".inhibra-partial-<name>.<tag>", see partial_files.hpp);
// commit() makes it durable and moves it into place with one rename. Until then an
// earlier file of that name stays as it was, and a file that is never committed (a
// failed or interrupted run) leaves nothing behind. A symbolic link at the final name
// is replaced by the new file, never written through; a folder, pipe or device there
// is refused, and so is a name whose folder cannot take the temporary file or whose
// earlier file cannot be replaced (write_access.hpp).
#include <array>
#include <ostream>
#include <streambuf>
#include <string>

namespace inhibra::data {

class output_file : public std::ostream {
 public:
  output_file();
  ~output_file() override;  // discards a file that was not committed
  output_file(const output_file&) = delete;
  output_file& operator=(const output_file&) = delete;

  // Creates the temporary file for `final_name`, after removing what earlier
  // programs left behind in its folder (once per folder). False when the file cannot
  // be written there (data::write_refusal) or cannot be created; error() says why,
  // naming the folder or the file.
  [[nodiscard]] bool open(const std::string& final_name);
  [[nodiscard]] bool is_open() const { return buffer_.fd >= 0; }

  // Writes out what is buffered, makes the file durable and renames it into place.
  // False when any write, the flush, the close or the rename failed (error() says
  // why); the temporary file is then removed and an earlier file left untouched.
  [[nodiscard]] bool commit();
  // The first half of commit(): writes out, makes durable and closes the temporary
  // file, which then waits under its temporary name for commit() or discard(). False
  // as for commit(), with the temporary file removed.
  [[nodiscard]] bool seal();
  // Removes the temporary file; the final name is not touched.
  void discard();

  // True once a write has failed: the file will not be committed.
  [[nodiscard]] bool failed() const { return buffer_.error != 0 || bad(); }
  // The first failure in the system's words ("No space left on device").
  [[nodiscard]] std::string error() const;
  [[nodiscard]] const std::string& final_name() const { return final_name_; }
  [[nodiscard]] const std::string& temporary_name() const { return temporary_name_; }

 private:
  // A stream buffer on a file descriptor that keeps the first write error.
  struct descriptor_buffer : std::streambuf {
    int fd = -1;
    int error = 0;  // errno of the first failed write
    std::array<char, 16384> space{};

    descriptor_buffer() { empty(); }
    void empty() { setp(space.data(), space.data() + space.size()); }
    bool drain();
    int_type overflow(int_type c) override;
    int sync() override { return drain() ? 0 : -1; }
  };

  void fail(const std::string& what, int error_number);

  descriptor_buffer buffer_;
  std::string final_name_;
  std::string temporary_name_;
  int held_slot_ = -1;   // of the temporary name, in the list a stop signal clears
  bool sealed_ = false;  // written and closed, waiting for the rename
  std::string error_;
};

}  // namespace inhibra::data
