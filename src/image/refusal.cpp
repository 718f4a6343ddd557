#include "image/refusal.h"

namespace sonabank {

const char* RefusalText(Refusal refusal) {
    switch (refusal) {
        case Refusal::NoRoom:
            return "Больше нет места!";
        case Refusal::NoFileName:
            return "Вы не указали файл со звуковыми данными!";
        case Refusal::CannotOpen:
            return "Невозможно открыть файл!";
        case Refusal::TooBig:
            return "Файл слишком велик!";
        case Refusal::NoSoundData:
            return "Файл не содержит звуковых данных!";
        case Refusal::CannotCreate:
            return "Невозможно создать файл!";
        case Refusal::WrongFormat:
            return "Неверный формат файла!";
        case Refusal::NotDecodable:
            return "Звуковой файл повреждён или не поддерживается!";
        case Refusal::IsProjectFile:
            return "Это файл проекта: экспорт его затёр бы!";
    }
    return "";
}

MessageIcon RefusalIcon(Refusal refusal) {
    switch (refusal) {
        case Refusal::CannotOpen:
        case Refusal::CannotCreate:
        case Refusal::WrongFormat:
        case Refusal::NotDecodable:
        case Refusal::IsProjectFile:
            return MessageIcon::Error;
        case Refusal::NoRoom:
        case Refusal::NoFileName:
        case Refusal::TooBig:
        case Refusal::NoSoundData:
            return MessageIcon::Warning;
    }
    return MessageIcon::Error;
}

}  // namespace sonabank
