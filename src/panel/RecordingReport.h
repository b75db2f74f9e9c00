#pragma once
// The sentences the window shows about a recording: why it stopped or could not start, and,
// after it, what the input dropped, when it was away and when its source changed. Each
// sentence ends in a line break, as the program's messages do.

#include <string>

#include "engine/record/WaveRecorder.h"

namespace report {

inline constexpr const char* kWriteFailed = "Не удалось записать файл, запись остановлена.\n";
// A stopped recording's last writes (its last sync, most often) failed.
inline constexpr const char* kSavingFailed = "Не удалось сохранить запись на диск, часть её могла пропасть.\n";
inline constexpr const char* kOutputLost =
    "Пропал звуковой выход (устройство или звуковой сервер), воспроизведение остановлено.\n";
inline constexpr const char* kNoInputDevice =
    "Не могу открыть звуковой вход: нет устройства записи или звуковой сервер недоступен.";
inline constexpr const char* kFormatRefused = "Звуковой вход не принимает выбранный формат записи.";
inline constexpr const char* kStillSaving =
    "Прошлая запись в этот файл ещё сохраняется на диск. Повторите запись, когда она сохранится.\n";

// A chosen source (its label) that is not there when Record is pressed; a very long name is
// cut on a character boundary so the message stays readable.
std::string SourceMissing(std::string label);
// A chosen source (its label) that is there but could not be opened (busy, or it refused to be
// recorded); cut as SourceMissing cuts it.
std::string CannotOpen(std::string label);
// The second source names the source the first one records.
std::string SameSources(const std::string& label);
// What the input dropped, its outages and changes of source; empty when there was none.
std::string AfterRecording(const CWaveRecorder::DroppedInput& dropped);
// The same on the program's standard error, for logs and terminals.
void Log(const std::string& path, const CWaveRecorder::DroppedInput& dropped);
// What of dropped falls into the file pieces[index] of a recording in pieces, with times counted
// from that file's start.
CWaveRecorder::DroppedInput DroppedInPiece(const std::vector<RecordingPiece>& pieces, std::size_t index,
                                           const CWaveRecorder::DroppedInput& dropped);
// After a recording in pieces: every file it wrote, in order, each with what it lacks.
std::string AfterSplitRecording(const std::vector<RecordingPiece>& pieces, const CWaveRecorder::DroppedInput& dropped);
void LogPieces(const std::vector<RecordingPiece>& pieces, const CWaveRecorder::DroppedInput& dropped);

}  // namespace report
