<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>CommissioningWindow</name>
    <message>
        <source>批量调试</source>
        <translation>Commissioning</translation>
    </message>
    <message>
        <source>配置</source>
        <translation>Profile</translation>
    </message>
    <message>
        <source>加载…</source>
        <translation>Load…</translation>
    </message>
    <message>
        <source>保存…</source>
        <translation>Save…</translation>
    </message>
    <message>
        <source>读取当前网关</source>
        <translation>From the chosen gateway</translation>
    </message>
    <message>
        <source>未加载配置：加载一个文件，或读取当前网关的参数。</source>
        <translation>No profile: load a file, or read the chosen gateway&apos;s settings.</translation>
    </message>
    <message>
        <source>调试对象</source>
        <translation>Targets</translation>
    </message>
    <message>
        <source>当前选择的网关</source>
        <translation>The chosen gateway</translation>
    </message>
    <message>
        <source>“选择地址”中的所有网关</source>
        <translation>Every gateway listed in “Address”</translation>
    </message>
    <message>
        <source>逐台接入新网关</source>
        <translation>New gateways one at a time</translation>
    </message>
    <message>
        <source>起始地址</source>
        <translation>Start address</translation>
    </message>
    <message>
        <source>数量</source>
        <translation>Count</translation>
    </message>
    <message>
        <source>不限</source>
        <translation>Until stopped</translation>
    </message>
    <message>
        <source>记录仪表读数</source>
        <translation>Meters to record</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>保存报告 JSON…</source>
        <translation>Save report JSON…</translation>
    </message>
    <message>
        <source>保存报告 PDF…</source>
        <translation>Save report PDF…</translation>
    </message>
    <message>
        <source>网关</source>
        <translation>Gateway</translation>
    </message>
    <message>
        <source>参数</source>
        <translation>Setting</translation>
    </message>
    <message>
        <source>修改前</source>
        <translation>Before</translation>
    </message>
    <message>
        <source>修改后</source>
        <translation>After</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>说明</source>
        <translation>Reason</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>加载配置</source>
        <translation>Load profile</translation>
    </message>
    <message>
        <source>保存配置</source>
        <translation>Save profile</translation>
    </message>
    <message>
        <source>配置文件 (*.json)</source>
        <translation>Profiles (*.json)</translation>
    </message>
    <message>
        <source>保存报告</source>
        <translation>Save report</translation>
    </message>
    <message>
        <source>JSON 文件 (*.json)</source>
        <translation>JSON files (*.json)</translation>
    </message>
    <message>
        <source>PDF 文件 (*.pdf)</source>
        <translation>PDF files (*.pdf)</translation>
    </message>
    <message>
        <source>配置无法使用：%1</source>
        <translation>The profile cannot be used: %1</translation>
    </message>
    <message>
        <source>无法写入 %1：%2</source>
        <translation>Could not save %1: %2</translation>
    </message>
    <message>
        <source>请先打开串口</source>
        <translation>Open the port first</translation>
    </message>
    <message>
        <source>正在采集：请先停止采集</source>
        <translation>Polling: stop the polling first</translation>
    </message>
    <message>
        <source>正在搜索地址：请先停止搜索</source>
        <translation>Searching: stop the search first</translation>
    </message>
    <message>
        <source>正在识别线路设置：请等它结束</source>
        <translation>Detecting the line settings: wait until it ends</translation>
    </message>
    <message>
        <source>请先搜索或广播读取网关地址</source>
        <translation>Find the gateway&apos;s address first: search, or broadcast read</translation>
    </message>
    <message>
        <source>正在读取网关 %1 的参数</source>
        <translation>Reading the settings of gateway %1</translation>
    </message>
    <message>
        <source>读取失败：%1</source>
        <translation>The read failed: %1</translation>
    </message>
    <message>
        <source>读自网关（未保存）</source>
        <translation>Read from the gateway (not saved)</translation>
    </message>
    <message>
        <source>已读取全部参数</source>
        <translation>Every setting read</translation>
    </message>
    <message>
        <source>设备密钥</source>
        <translation>Device secret</translation>
    </message>
    <message>
        <source>设备密钥（留空则不写入）：</source>
        <translation>Device secret (empty: not written):</translation>
    </message>
    <message>
        <source>设备密钥无法写入：%1</source>
        <translation>The device secret cannot be written: %1</translation>
    </message>
    <message>
        <source>请先加载配置</source>
        <translation>Load a profile first</translation>
    </message>
    <message>
        <source>正在调试网关 %1</source>
        <translation>Commissioning gateway %1</translation>
    </message>
    <message>
        <source>等待下一个网关</source>
        <translation>Waiting for the next gateway</translation>
    </message>
    <message>
        <source>网关 %1 仍在线上：请换上下一个网关</source>
        <translation>Gateway %1 is still on the line: plug in the next one</translation>
    </message>
    <message>
        <source>共 %1 台网关，%2 台全部验证通过</source>
        <translation>Gateways: %1, fully verified: %2</translation>
    </message>
    <message>
        <source>（已停止）</source>
        <translation> (stopped)</translation>
    </message>
    <message>
        <source>（提前结束：%1）</source>
        <translation> (ended early: %1)</translation>
    </message>
</context>
<context>
    <name>Qwa</name>
    <message>
        <source>表数应为1到21的整数</source>
        <translation>Meters must be a whole number from 1 to 21</translation>
    </message>
    <message>
        <source>地址应为1到247的整数</source>
        <translation>Address must be a whole number from 1 to 247</translation>
    </message>
    <message>
        <source>通信频率应为420到675的整数</source>
        <translation>Frequency must be a whole number from 420 to 675</translation>
    </message>
    <message>
        <source>扩频因子应为0到255的整数</source>
        <translation>Spreading factor must be a whole number from 0 to 255</translation>
    </message>
    <message>
        <source>发射器数量应为0到255的整数</source>
        <translation>Number of transmitters must be a whole number from 0 to 255</translation>
    </message>
    <message>
        <source>量程下限应为0到6553.5</source>
        <translation>Range lower limit must be 0 to 6553.5</translation>
    </message>
    <message>
        <source>量程上限应为0到6553.5</source>
        <translation>Range upper limit must be 0 to 6553.5</translation>
    </message>
    <message>
        <source>网关ID应为0x0000到0xFFFF的整数</source>
        <translation>Gateway ID must be a whole number from 0x0000 to 0xFFFF</translation>
    </message>
    <message>
        <source>固件版本应为0x0000到0xFFFF的整数</source>
        <translation>Firmware version must be a whole number from 0x0000 to 0xFFFF</translation>
    </message>
    <message>
        <source>采集周期应为0到65535的整数</source>
        <translation>Sampling period must be a whole number from 0 to 65535</translation>
    </message>
    <message>
        <source>模拟输出应为0到65535的整数</source>
        <translation>Analog output must be a whole number from 0 to 65535</translation>
    </message>
    <message>
        <source>通道应为1到256的整数</source>
        <translation>Channel must be a whole number from 1 to 256</translation>
    </message>
    <message>
        <source>变送下限应为-3.4e+38到3.4e+38</source>
        <translation>Output lower limit must be -3.4e+38 to 3.4e+38</translation>
    </message>
    <message>
        <source>变送上限应为-3.4e+38到3.4e+38</source>
        <translation>Output upper limit must be -3.4e+38 to 3.4e+38</translation>
    </message>
    <message>
        <source>变送下限应为0或绝对值在1.17549435e-38到3.4e+38之间</source>
        <translation>Output lower limit must be 0 or of a magnitude from 1.17549435e-38 to 3.4e+38</translation>
    </message>
    <message>
        <source>变送上限应为0或绝对值在1.17549435e-38到3.4e+38之间</source>
        <translation>Output upper limit must be 0 or of a magnitude from 1.17549435e-38 to 3.4e+38</translation>
    </message>
    <message>
        <source>实际值应为0到65.535</source>
        <translation>Measured current must be 0 to 65.535</translation>
    </message>
    <message>
        <source>自定义输入应为0到25.4</source>
        <translation>Custom current must be 0 to 25.4</translation>
    </message>
    <message>
        <source>量程下限应小于上限</source>
        <translation>Range lower limit must be below the upper limit</translation>
    </message>
    <message>
        <source>变送下限应小于上限</source>
        <translation>Output lower limit must be below the upper limit</translation>
    </message>
    <message>
        <source>开启成功</source>
        <translation>Enabled</translation>
    </message>
    <message>
        <source>开启失败</source>
        <translation>Enable failed</translation>
    </message>
    <message>
        <source>超时</source>
        <translation>Timeout</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>停止搜索</source>
        <translation>Stop search</translation>
    </message>
    <message>
        <source>搜索地址</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>已停止搜索</source>
        <translation>Search stopped.</translation>
    </message>
    <message>
        <source>正在搜索，请稍后</source>
        <translation>Searching, please wait.</translation>
    </message>
    <message>
        <source>搜索完成</source>
        <translation>Search finished.</translation>
    </message>
    <message>
        <source>停止采集</source>
        <translation>Stop polling</translation>
    </message>
    <message>
        <source>开始采集</source>
        <translation>Start polling</translation>
    </message>
    <message>
        <source>内容过长，最多%1字节</source>
        <translation>Too long: at most %1 bytes</translation>
    </message>
    <message>
        <source>关闭平台调试</source>
        <translation>Stop platform debugging</translation>
    </message>
    <message>
        <source>打开平台调试</source>
        <translation>Start platform debugging</translation>
    </message>
    <message>
        <source>请先搜索或广播读取网关地址</source>
        <translation>Find the gateway&apos;s address first: search, or broadcast read</translation>
    </message>
    <message>
        <source>请先读取或选择要写入的值</source>
        <translation>Read or choose the value to write first</translation>
    </message>
    <message>
        <source>关闭串口</source>
        <translation>Close port</translation>
    </message>
    <message>
        <source>打开串口</source>
        <translation>Open port</translation>
    </message>
    <message>
        <source>打开失败</source>
        <translation>Cannot open port</translation>
    </message>
    <message>
        <source>串口错误或被占用</source>
        <translation>The port does not exist or is in use</translation>
    </message>
    <message>
        <source>串口已断开</source>
        <translation>The port was disconnected</translation>
    </message>
    <message>
        <source>停止记录</source>
        <translation>Stop recording</translation>
    </message>
    <message>
        <source>记录</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>无法写入 %1：%2</source>
        <translation>Cannot write %1: %2</translation>
    </message>
    <message>
        <source>记录已停止：无法写入 %1：%2。已写入的记录仍在文件中。</source>
        <translation>Recording stopped: cannot write %1: %2. What was recorded so far is still in the file.</translation>
    </message>
    <message>
        <source>读数时间 %1</source>
        <translation>Read at %1</translation>
    </message>
    <message>
        <source>识别</source>
        <translation>Detect</translation>
    </message>
    <message>
        <source>停止识别</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>在所有线路设置下均无应答</source>
        <translation>No answer at any line setting</translation>
    </message>
    <message>
        <source>以下线路设置收到了无法识别的应答：
%1
可能是线路设置不对、干扰，或总线上有多个网关同时应答。
是否以 %2 搜索地址？</source>
        <translation>Bytes that fail the check came at:
%1
A wrong setting, noise, or several gateways answering at once.
Search for addresses at %2?</translation>
    </message>
</context>
<context>
    <name>QwaClass</name>
    <message>
        <source>NVB8140T - 网关调试工具</source>
        <translation>NVB8140T - Gateway Debug Tool</translation>
    </message>
    <message>
        <source>打开串口</source>
        <translation>Open port</translation>
    </message>
    <message>
        <source>识别</source>
        <translation>Detect</translation>
    </message>
    <message>
        <source>串口</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>波特率</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>9600</source>
        <translation>9600</translation>
    </message>
    <message>
        <source>2400</source>
        <translation>2400</translation>
    </message>
    <message>
        <source>4800</source>
        <translation>4800</translation>
    </message>
    <message>
        <source>19200</source>
        <translation>19200</translation>
    </message>
    <message>
        <source>校验位</source>
        <translation>Parity</translation>
    </message>
    <message>
        <source>无校验</source>
        <translation>None</translation>
    </message>
    <message>
        <source>奇校验</source>
        <translation>Odd</translation>
    </message>
    <message>
        <source>偶校验</source>
        <translation>Even</translation>
    </message>
    <message>
        <source>数据位</source>
        <translation>Data bits</translation>
    </message>
    <message>
        <source>8</source>
        <translation>8</translation>
    </message>
    <message>
        <source>7</source>
        <translation>7</translation>
    </message>
    <message>
        <source>停止位</source>
        <translation>Stop bits</translation>
    </message>
    <message>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <source>2</source>
        <translation>2</translation>
    </message>
    <message>
        <source>通信参数</source>
        <translation>Gateway communication</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>修改</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>通信频率</source>
        <translation>Frequency</translation>
    </message>
    <message>
        <source>扩频因子</source>
        <translation>Spreading factor</translation>
    </message>
    <message>
        <source>网关模式</source>
        <translation>Gateway mode</translation>
    </message>
    <message>
        <source>接收器</source>
        <translation>Receiver</translation>
    </message>
    <message>
        <source>中继器</source>
        <translation>Repeater</translation>
    </message>
    <message>
        <source>地址设置</source>
        <translation>Gateway address</translation>
    </message>
    <message>
        <source>选择地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>搜索地址</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>修改为</source>
        <translation>Change to</translation>
    </message>
    <message>
        <source>修改地址</source>
        <translation>Change address</translation>
    </message>
    <message>
        <source>广播地址</source>
        <translation>Broadcast</translation>
    </message>
    <message>
        <source>发射器数量：</source>
        <translation>Number of transmitters:</translation>
    </message>
    <message>
        <source>串口设置</source>
        <translation>Serial port</translation>
    </message>
    <message>
        <source>组态设置</source>
        <translation>Output range</translation>
    </message>
    <message>
        <source>变送下限：</source>
        <translation>Lower limit:</translation>
    </message>
    <message>
        <source>变送上限：</source>
        <translation>Upper limit:</translation>
    </message>
    <message>
        <source>上下电流修正</source>
        <translation>Current correction</translation>
    </message>
    <message>
        <source>校准值：</source>
        <translation>Calibration point:</translation>
    </message>
    <message>
        <source>4mA</source>
        <translation>4mA</translation>
    </message>
    <message>
        <source>20mA</source>
        <translation>20mA</translation>
    </message>
    <message>
        <source>实际值：</source>
        <translation>Measured:</translation>
    </message>
    <message>
        <source>mA</source>
        <translation>mA</translation>
    </message>
    <message>
        <source>校准</source>
        <translation>Calibrate</translation>
    </message>
    <message>
        <source>电流环输出测试</source>
        <translation>Current loop output test</translation>
    </message>
    <message>
        <source>测试</source>
        <translation>Test</translation>
    </message>
    <message>
        <source>3.9mA</source>
        <translation>3.9mA</translation>
    </message>
    <message>
        <source>8mA</source>
        <translation>8mA</translation>
    </message>
    <message>
        <source>12mA</source>
        <translation>12mA</translation>
    </message>
    <message>
        <source>16mA</source>
        <translation>16mA</translation>
    </message>
    <message>
        <source>20.8mA</source>
        <translation>20.8mA</translation>
    </message>
    <message>
        <source>自定义输入</source>
        <translation>Custom</translation>
    </message>
    <message>
        <source>自定义测试</source>
        <translation>Custom test</translation>
    </message>
    <message>
        <source>退出测试</source>
        <translation>End test</translation>
    </message>
    <message>
        <source>电流通信</source>
        <translation>Current loop</translation>
    </message>
    <message>
        <source>开启电流校准</source>
        <translation>Start calibration</translation>
    </message>
    <message>
        <source>读取通道</source>
        <translation>Read channel</translation>
    </message>
    <message>
        <source>修改通道</source>
        <translation>Write channel</translation>
    </message>
    <message>
        <source>电流校准</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <source>位号</source>
        <translation>Tag</translation>
    </message>
    <message>
        <source>温度（℃）</source>
        <translation>Temp. (℃)</translation>
    </message>
    <message>
        <source>表数</source>
        <translation>Meters</translation>
    </message>
    <message>
        <source>开始采集</source>
        <translation>Start polling</translation>
    </message>
    <message>
        <source>记录</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>趋势</source>
        <translation>Trend</translation>
    </message>
    <message>
        <source>总线采集</source>
        <translation>Bus acquisition</translation>
    </message>
    <message>
        <source>提示：本页面为云平台远程控制的本地界面，采用RS485接口通信。</source>
        <translation>Note: this page sets locally, over RS485, what the cloud platform controls remotely.</translation>
    </message>
    <message>
        <source>云平台应当通过串口服务器或者4G接口进行修改</source>
        <translation>The cloud platform changes them through a serial server or 4G.</translation>
    </message>
    <message>
        <source>读取量程</source>
        <translation>Read range</translation>
    </message>
    <message>
        <source>修改量程</source>
        <translation>Write range</translation>
    </message>
    <message>
        <source>读取通信频率</source>
        <translation>Read frequency</translation>
    </message>
    <message>
        <source>修改通信频率</source>
        <translation>Write frequency</translation>
    </message>
    <message>
        <source>读取SF</source>
        <translation>Read SF</translation>
    </message>
    <message>
        <source>修改SF</source>
        <translation>Write SF</translation>
    </message>
    <message>
        <source>读取发射器数量</source>
        <translation>Read transmitters</translation>
    </message>
    <message>
        <source>修改发射器数量</source>
        <translation>Write transmitters</translation>
    </message>
    <message>
        <source>读取网关ID</source>
        <translation>Read gateway ID</translation>
    </message>
    <message>
        <source>修改网关ID</source>
        <translation>Write gateway ID</translation>
    </message>
    <message>
        <source>读取固件版本</source>
        <translation>Read firmware</translation>
    </message>
    <message>
        <source>修改固件版本</source>
        <translation>Write firmware</translation>
    </message>
    <message>
        <source>读取采集周期</source>
        <translation>Read sampling period</translation>
    </message>
    <message>
        <source>修改采集周期</source>
        <translation>Write sampling period</translation>
    </message>
    <message>
        <source>读取模拟输出</source>
        <translation>Read analog output</translation>
    </message>
    <message>
        <source>修改模拟输出</source>
        <translation>Write analog output</translation>
    </message>
    <message>
        <source>平台接口</source>
        <translation>Platform</translation>
    </message>
    <message>
        <source>地域信息：</source>
        <translation>Region:</translation>
    </message>
    <message>
        <source>写入</source>
        <translation>Write</translation>
    </message>
    <message>
        <source>设备属性：</source>
        <translation>Device property:</translation>
    </message>
    <message>
        <source>设备密钥：</source>
        <translation>Device secret:</translation>
    </message>
    <message>
        <source>设备名称：</source>
        <translation>Device name:</translation>
    </message>
    <message>
        <source>阿里云模式</source>
        <translation>Alibaba Cloud</translation>
    </message>
    <message>
        <source>通用MQTT模式</source>
        <translation>Generic MQTT</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>发布主题：</source>
        <translation>Publish topic:</translation>
    </message>
    <message>
        <source>订阅主题：</source>
        <translation>Subscribe topic:</translation>
    </message>
    <message>
        <source>连接云平台</source>
        <translation>Connect to cloud</translation>
    </message>
    <message>
        <source>打开平台调试</source>
        <translation>Start platform debugging</translation>
    </message>
    <message>
        <source>MQTT配置</source>
        <translation>MQTT</translation>
    </message>
    <message>
        <source>Language English</source>
        <translation>Language English</translation>
    </message>
</context>
<context>
    <name>TrafficMonitor</name>
    <message>
        <source>非法功能</source>
        <translation>illegal function</translation>
    </message>
    <message>
        <source>非法数据地址</source>
        <translation>illegal data address</translation>
    </message>
    <message>
        <source>非法数据值</source>
        <translation>illegal data value</translation>
    </message>
    <message>
        <source>从站设备故障</source>
        <translation>server device failure</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>acknowledge</translation>
    </message>
    <message>
        <source>从站设备忙</source>
        <translation>server device busy</translation>
    </message>
    <message>
        <source>存储奇偶性差错</source>
        <translation>memory parity error</translation>
    </message>
    <message>
        <source>网关路径不可用</source>
        <translation>gateway path unavailable</translation>
    </message>
    <message>
        <source>网关目标设备响应失败</source>
        <translation>gateway target device failed to respond</translation>
    </message>
    <message>
        <source>未知异常</source>
        <translation>unknown exception</translation>
    </message>
    <message>
        <source>监视</source>
        <translation>Monitor</translation>
    </message>
    <message>
        <source>校验错误</source>
        <translation>Check failed</translation>
    </message>
    <message>
        <source>异常 %1 %2</source>
        <translation>Exception %1 %2</translation>
    </message>
    <message>
        <source>网关应答 %1</source>
        <translation>Gateway answered %1</translation>
    </message>
    <message>
        <source>无应答</source>
        <translation>No reply</translation>
    </message>
    <message>
        <source>通信监视</source>
        <translation>Traffic monitor</translation>
    </message>
    <message>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>请求 %1   应答 %2   无应答 %3   校验错误 %4   异常 %5</source>
        <translation>Requests %1   Replies %2   No reply %3   Check failed %4   Exceptions %5</translation>
    </message>
    <message>
        <source>文本文件 (*.txt)</source>
        <translation>Text files (*.txt)</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>无法写入 %1：%2</source>
        <translation>Could not save %1: %2</translation>
    </message>
</context>
<context>
    <name>TrendWindow</name>
    <message>
        <source>趋势</source>
        <translation>Trend</translation>
    </message>
    <message>
        <source>10 分钟</source>
        <translation>10 min</translation>
    </message>
    <message>
        <source>1 小时</source>
        <translation>1 hour</translation>
    </message>
    <message>
        <source>全部</source>
        <translation>All</translation>
    </message>
    <message>
        <source>表 %1</source>
        <translation>Meter %1</translation>
    </message>
</context>
</TS>
