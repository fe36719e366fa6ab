// Writes the seeds of the effect-stream fuzz target with the tree's own writer:
//   make_effects_corpus <source dir>   ->   fuzz/corpus/effects/
#include <filesystem>
#include <fstream>
#include <string>

#include "dx/DXInput.h"
#include "framework/Classes.h"

namespace {

void Save(const std::filesystem::path& dir, const std::string& name, dx::TForceFeedbackEffects& tree) {
  fw::TMemoryStream m;
  tree.WriteEffects(m);
  std::ofstream out(dir / name, std::ios::binary);
  out.write(static_cast<const char*>(m.Memory()), static_cast<std::streamsize>(m.Size()));
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path dir = std::filesystem::path(argc > 1 ? argv[1] : ".") / "fuzz" / "corpus" / "effects";
  std::filesystem::create_directories(dir);

  dx::TForceFeedbackEffects tree(nullptr);
  Save(dir, "root_only", tree);  // the keyboard's and the mouse's

  dx::TForceFeedbackEffect* eff1 = tree.Add();
  eff1->SetName("eff1");
  eff1->SetEffectType(dx::etPeriodic);
  eff1->SetConstant({10000, -10000});
  eff1->SetPeriod(30);
  eff1->SetTime(50);
  Save(dir, "joystick", tree);

  dx::TForceFeedbackEffect* c = eff1->Add();
  c->SetName("spring.x");
  c->SetEffectType(dx::etCondition);
  c->SetCondition({4000, -2000});
  c->SetAttackLevel(300);
  c->SetAttackTime(20);
  c->SetFadeLevel(7000);
  c->SetFadeTime(40);
  c->SetTime(-1);
  c->SetStartDelayTime(100000);
  dx::TForceFeedbackEffect* k = c->Add();
  k->SetName(std::string(200, 'n'));
  k->SetEffectType(dx::etConstantForce);
  k->SetPower(1);
  Save(dir, "nested_all_fields", tree);
  return 0;
}
