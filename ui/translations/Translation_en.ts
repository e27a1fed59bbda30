<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>QwaClass</name>
    <message>
        <location filename="../qwa.ui"/>
        <source>NVB8140T - 网关调试工具</source>
        <translation>NVB8140T - Gateway Debug Tool</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>打开串口</source>
        <translation>Open port</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>串口</source>
        <translation>Port</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>波特率</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>9600</source>
        <translation>9600</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>2400</source>
        <translation>2400</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>4800</source>
        <translation>4800</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>19200</source>
        <translation>19200</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>校验位</source>
        <translation>Parity</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>无校验</source>
        <translation>None</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>奇校验</source>
        <translation>Odd</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>偶校验</source>
        <translation>Even</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>数据位</source>
        <translation>Data bits</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>8</source>
        <translation>8</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>7</source>
        <translation>7</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>停止位</source>
        <translation>Stop bits</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>1</source>
        <translation>1</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>2</source>
        <translation>2</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>通信参数</source>
        <translation>Gateway communication</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>读取</source>
        <translation>Read</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改</source>
        <translation>Write</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>通信频率</source>
        <translation>Frequency</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>扩频因子</source>
        <translation>SF</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>网关模式</source>
        <translation>Mode</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>接收器</source>
        <translation>Receiver</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>中继器</source>
        <translation>Repeater</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>地址设置</source>
        <translation>Gateway address</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>选择地址</source>
        <translation>Address</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>搜索地址</source>
        <translation>Search</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改为</source>
        <translation>New</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改地址</source>
        <translation>Change</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>广播地址</source>
        <translation>Broadcast</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>发射器数量：</source>
        <translation>Number of emitter:</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>串口设置</source>
        <translation>Serial port</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>组态设置</source>
        <translation>Output range</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>变送下限：</source>
        <translation>Lower limit:</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>变送上限：</source>
        <translation>Upper limit:</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>上下电流修正</source>
        <translation>Current correction</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>校准值：</source>
        <translation>Point:</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>4mA</source>
        <translation>4mA</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>20mA</source>
        <translation>20mA</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>实际值：</source>
        <translation>Actual:</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>mA</source>
        <translation>mA</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>校准</source>
        <translation>Calibrate</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>电流环输出测试</source>
        <translation>Loop output test</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>测试</source>
        <translation>Test</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>3.9mA</source>
        <translation>3.9mA</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>8mA</source>
        <translation>8mA</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>12mA</source>
        <translation>12mA</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>16mA</source>
        <translation>16mA</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>20.8mA</source>
        <translation>20.8mA</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>自定义输入</source>
        <translation>Custom</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>自定义测试</source>
        <translation>Custom test</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>退出测试</source>
        <translation>End test</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>电流通信</source>
        <translation>Current loop</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>开启电流校准</source>
        <translation>Start calibration</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>读取通道</source>
        <translation>Read ch.</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改通道</source>
        <translation>Write ch.</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>电流校准</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>位号</source>
        <translation>Tag</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>温度（℃）</source>
        <translation>Temp (℃)</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>表数</source>
        <translation>Meters</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>开始采集</source>
        <translatorcomment>The slot compares this button&apos;s text with the Chinese literal to decide what to do, and its running-state text is never translated; a translation here would leave the button dead after a switch to English. Keep it in Chinese.</translatorcomment>
        <translation>开始采集</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>总线采集</source>
        <translation>Bus acquisition</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>提示：本页面为云平台远程控制的本地界面，采用RS485接口通信。</source>
        <translation>Note: the cloud&apos;s remote settings, here via RS485.</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>云平台应当通过串口服务器或者4G接口进行修改</source>
        <translation>The cloud changes them via serial server or 4G.</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>读取量程</source>
        <translation>Read range</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改量程</source>
        <translation>Write range</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>读取通信频率</source>
        <translation>Read frequency</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改通信频率</source>
        <translation>Write frequency</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>读取SF</source>
        <translation>Read SF</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改SF</source>
        <translation>Write SF</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>读取发射器数量</source>
        <translation>Read emitters</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改发射器数量</source>
        <translation>Write emitters</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>读取网关ID</source>
        <translation>Read ID</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改网关ID</source>
        <translation>Write ID</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>读取固件版本</source>
        <translation>Read firmware</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改固件版本</source>
        <translation>Write firmware</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>读取采集周期</source>
        <translation>Read period</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改采集周期</source>
        <translation>Write period</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>读取模拟输出</source>
        <translation>Read output</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改模拟输出</source>
        <translation>Write output</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>平台接口</source>
        <translation>Platform</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>地域信息：</source>
        <translation>Region:</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>写入</source>
        <translation>Write</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>设备属性：</source>
        <translation>Property:</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>设备密钥：</source>
        <translation>Secret:</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>设备名称：</source>
        <translation>Name:</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>阿里云模式</source>
        <translation>Aliyun</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>通用MQTT模式</source>
        <translation>Generic</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>确认</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>发布主题：</source>
        <translation>Publish:</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>订阅主题：</source>
        <translation>Subscribe:</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>连接云平台</source>
        <translation>Connect</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>打开平台调试</source>
        <translatorcomment>The slot compares this button&apos;s text with the Chinese literal to decide what to do, and its running-state text is never translated; a translation here would leave the button dead after a switch to English. Keep it in Chinese.</translatorcomment>
        <translation>打开平台调试</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>MQTT配置</source>
        <translation>MQTT</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>Language English</source>
        <translation>Language English</translation>
    </message>
</context>
</TS>
