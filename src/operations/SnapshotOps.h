#pragma once
// "Kaydet" and "Aç": the grid's values of one model to a snapshot file and back, under the
// operation guard. The window (or the command-line companion) chooses the file: `askFile`
// is called after the guard's entry steps and returns the file name, or empty text when
// the user cancelled.

#include <QString>

#include <functional>

namespace kolva {

class TDeviceOperations;

// Saves the values of the model selector's model into the chosen file (replaced whole).
void mnSaveClick(TDeviceOperations& ops, const std::function<QString()>& askFile);
// Loads the chosen file into the grid, switching the grid to the file's model first.
void mnOpenClick(TDeviceOperations& ops, const std::function<QString()>& askFile);

// The texts of the two operations.
namespace snapshot_texts {
inline constexpr char16_t kSaving[] = u"Ayarlar dosyaya kaydediliyor.";
inline constexpr char16_t kSaved[] = u"Dosyaya ayar kayıt işlemi tamamlandı.";
inline constexpr char16_t kLoading[] = u"Ayarlar dosyadan okunuyor.";
inline constexpr char16_t kLoaded[] = u"Dosyadan ayar okuma işi tamamlandı.";
} // namespace snapshot_texts

} // namespace kolva
