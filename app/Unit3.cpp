#include "app/Unit3.h"

#include "app/Main.h"
#include "app/MainArith.h"
#include "framework/ClassBuilder.h"
#include "framework/Jpeg.h"

namespace app {

TForm3* Form3 = nullptr;

TForm3::TForm3(fw::TComponent* AOwner) : fw::TForm(AOwner) {
  // The body picture is stored as JPEG data.
  fw::RegisterJpegImage();
  LoadFromEmbeddedForm("Unit3");
}

void TForm3::Shape1ContextPopup(fw::TObject*, fw::TPoint, bool&) {
  // There is no popup menu: the request only restarts the sinking of a body that reaches
  // below the window's outer edge.
  if (Add32(Image1->Top(), Image1->Height()) > Height()) Form1->Timer2->SetEnabled(true);
}

FW_REGISTER(TForm3, [](fw::TClassBuilder<TForm3>& b) {
  b.Field("Shape1", &TForm3::Shape1);
  b.Field("Shape2", &TForm3::Shape2);
  b.Field("Image1", &TForm3::Image1);
  b.Field("Label1", &TForm3::Label1);
  b.Field("Edit1", &TForm3::Edit1);
  b.Field("CheckBox1", &TForm3::CheckBox1);
  b.Method("Shape1ContextPopup", &TForm3::Shape1ContextPopup);
})

}  // namespace app
