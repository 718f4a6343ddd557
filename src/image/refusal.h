#pragma once

// Commands the user is refused are ordinary results, not exceptions. Each
// refusal has the program's own text and the icon of its message box.

namespace sonabank {

enum class Refusal {
    NoRoom,        // "Больше нет места!"
    NoFileName,    // "Вы не указали файл со звуковыми данными!"
    CannotOpen,    // "Невозможно открыть файл!"
    TooBig,        // "Файл слишком велик!"
    NoSoundData,   // "Файл не содержит звуковых данных!"
    CannotCreate,  // "Невозможно создать файл!"
    WrongFormat,   // "Неверный формат файла!"
    NotDecodable,  // "Звуковой файл повреждён или не поддерживается!"
    IsProjectFile,  // an export would overwrite the open project
};

enum class MessageIcon { Warning, Error };

// UTF-8 text of the refusal's message box.
const char* RefusalText(Refusal refusal);
MessageIcon RefusalIcon(Refusal refusal);

}  // namespace sonabank
