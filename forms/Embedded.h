#pragma once
#include <cstddef>
#include <string_view>

namespace forms {

struct EmbeddedForm {
  const char* Name;  // file stem, which is the form's unit name
  const char* Text;
  std::size_t Size;
};

// Terminated by an entry whose name is null.
extern const EmbeddedForm kEmbeddedForms[];

// The stored description of the form kept in forms/<name>.form; empty when there is none.
std::string_view FindEmbeddedForm(std::string_view name);

}  // namespace forms
