// The model's units live beside this file.
