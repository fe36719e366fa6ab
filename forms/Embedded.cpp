#include "forms/Embedded.h"

namespace forms {

std::string_view FindEmbeddedForm(std::string_view name) {
  for (const EmbeddedForm* f = kEmbeddedForms; f->Name; ++f)
    if (name == f->Name) return {f->Text, f->Size};
  return {};
}

}  // namespace forms
