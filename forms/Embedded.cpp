#include "forms/Embedded.h"

namespace forms {

std::string_view FindEmbeddedForm(std::string_view name) {
  for (const EmbeddedForm* f = kEmbeddedForms; f->name; ++f)
    if (name == f->name) return {f->text, f->size};
  return {};
}

}  // namespace forms
