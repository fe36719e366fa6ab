// Reading and writing stored form descriptions: a form with a picture-sized binary property and
// a few hundred small properties, in text and binary form.
#include <benchmark/benchmark.h>

#include <string>

#include "tests/support/StreamClasses.h"

using namespace streamclasses;

namespace {

std::string MakeFormText(std::size_t picture_bytes, int items) {
  auto form = MakeOwned<TFuzzForm>(nullptr);
  form->SetName("Form1");
  auto* w = new TFuzzWidget(form.get());
  w->SetName("Panel1");
  w->Caption = "Модель";
  w->Data.resize(picture_bytes);
  for (std::size_t i = 0; i < picture_bytes; ++i) w->Data[i] = static_cast<std::uint8_t>(i * 7);
  for (int i = 0; i < items; ++i) {
    auto* item = static_cast<TFuzzItem*>(w->Items.Add());
    item->Name = "item" + std::to_string(i);
    item->Value = i * 1000;
    item->Kind = TFuzzKind::fkRight;
  }
  return ComponentToText(*form);
}

const std::string& FormText() {
  static const std::string text = MakeFormText(256 * 1024, 300);
  return text;
}

const std::string& FormBinary() {
  static const std::string binary = ObjectTextToBinary(FormText());
  return binary;
}

void BM_ReadFormText(benchmark::State& state) {
  for (auto _ : state) {
    auto form = MakeOwned<TFuzzForm>(nullptr);
    ReadRootComponentText(*form, FormText());
    benchmark::DoNotOptimize(form->Panel1);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FormText().size()));
}
BENCHMARK(BM_ReadFormText);

void BM_ReadFormBinary(benchmark::State& state) {
  for (auto _ : state) {
    auto form = MakeOwned<TFuzzForm>(nullptr);
    TBytesStream in(FormBinary().data(), FormBinary().size());
    ReadRootComponent(*form, in);
    benchmark::DoNotOptimize(form->Panel1);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FormBinary().size()));
}
BENCHMARK(BM_ReadFormBinary);

void BM_WriteFormBinary(benchmark::State& state) {
  auto form = MakeOwned<TFuzzForm>(nullptr);
  ReadRootComponentText(*form, FormText());
  for (auto _ : state) {
    TMemoryStream out;
    WriteComponent(out, *form);
    benchmark::DoNotOptimize(out.Size());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FormBinary().size()));
}
BENCHMARK(BM_WriteFormBinary);

void BM_BinaryToText(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ObjectBinaryToText(FormBinary()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * FormBinary().size()));
}
BENCHMARK(BM_BinaryToText);

}  // namespace

BENCHMARK_MAIN();
