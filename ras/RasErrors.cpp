#include "RasTypes.h"

namespace ras {

std::string ErrorText(RasError Code) {
    switch (Code) {
    case SUCCESS:
        return "操作成功完成。";
    case ERROR_ACCESS_DENIED:
        return "拒绝访问：没有权限进行此操作。";
    case ERROR_INVALID_HANDLE:
        return "连接句柄无效。";
    case ERROR_INVALID_PARAMETER:
        return "参数不正确。";
    case ERROR_PORT_ALREADY_OPEN:
        return "该连接已经打开。";
    case ERROR_BUFFER_TOO_SMALL:
        return "缓冲区太小。";
    case ERROR_DEVICE_DOES_NOT_EXIST:
        return "设备不存在或已被移除。";
    case ERROR_CANNOT_FIND_PHONEBOOK_ENTRY:
        return "找不到该拨号连接。";
    case ERROR_PORT_DISCONNECTED:
        return "无法建立到远程计算机的连接，端口已关闭。";
    case ERROR_DISCONNECTION:
        return "连接已关闭。";
    case ERROR_REMOTE_DISCONNECTION:
        return "连接被远程计算机终止。";
    case ERROR_HARDWARE_FAILURE:
        return "由于硬件故障，连接已断开。";
    case ERROR_USER_DISCONNECTION:
        return "连接已被用户断开。";
    case ERROR_PORT_NOT_AVAILABLE:
        return "设备已被占用或不可用。";
    case ERROR_UNKNOWN:
        return "发生未知错误。";
    case ERROR_NO_CONNECTION:
        return "连接已断开。";
    case ERROR_LINE_BUSY:
        return "线路忙。";
    case ERROR_NO_ANSWER:
        return "远程计算机没有应答。";
    case ERROR_NO_CARRIER:
        return "检测不到载波。";
    case ERROR_AUTHENTICATION_FAILURE:
        return "用户名或密码无效，验证失败。";
    case ERROR_RASMAN_CANNOT_INITIALIZE:
        return "连接管理服务不可用。";
    case ERROR_IP_CONFIGURATION:
        return "无法使用分配的 IP 配置。";
    case ERROR_PPP_TIMEOUT:
        return "等待对方应答超时。";
    case ERROR_DIAL_ALREADY_IN_PROGRESS:
        return "该连接正在拨号中。";
    case ERROR_NO_SECRETS:
        return "拨号需要密码，但没有提供。";
    default:
        return "未知错误 " + std::to_string(Code) + "。";
    }
}

} // namespace ras
