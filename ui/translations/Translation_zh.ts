<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="zh_CN">
<context>
    <name>QwaClass</name>
    <message>
        <location filename="../qwa.ui"/>
        <source>NVB8140T - 网关调试工具</source>
        <translation>NVB8140T - 网关调试工具</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>打开串口</source>
        <translation>打开串口</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>串口</source>
        <translation>串口</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>波特率</source>
        <translation>波特率</translation>
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
        <translation>校验位</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>无校验</source>
        <translation>无校验</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>奇校验</source>
        <translation>奇校验</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>偶校验</source>
        <translation>偶校验</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>数据位</source>
        <translation>数据位</translation>
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
        <translation>停止位</translation>
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
        <translation>通信参数</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>读取</source>
        <translation>读取</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改</source>
        <translation>修改</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>通信频率</source>
        <translation>通信频率</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>扩频因子</source>
        <translation>扩频因子</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>网关模式</source>
        <translation>网关模式</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>接收器</source>
        <translation>接收器</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>中继器</source>
        <translation>中继器</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>地址设置</source>
        <translation>地址设置</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>选择地址</source>
        <translation>选择地址</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>搜索地址</source>
        <translation>搜索地址</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改为</source>
        <translation>修改为</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改地址</source>
        <translation>修改地址</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>广播地址</source>
        <translation>广播地址</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>发射器数量：</source>
        <translation>发射器数量：</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>串口设置</source>
        <translation>串口设置</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>组态设置</source>
        <translation>组态设置</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>变送下限：</source>
        <translation>变送下限：</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>变送上限：</source>
        <translation>变送上限：</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>上下电流修正</source>
        <translation>上下电流修正</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>校准值：</source>
        <translation>校准值：</translation>
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
        <translation>实际值：</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>mA</source>
        <translation>mA</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>校准</source>
        <translation>校准</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>电流环输出测试</source>
        <translation>电流环输出测试</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>测试</source>
        <translation>测试</translation>
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
        <translation>自定义输入</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>自定义测试</source>
        <translation>自定义测试</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>退出测试</source>
        <translation>退出测试</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>电流通信</source>
        <translation>电流通信</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>开启电流校准</source>
        <translation>开启电流校准</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>读取通道</source>
        <translation>读取通道</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改通道</source>
        <translation>修改通道</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>电流校准</source>
        <translation>电流校准</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>位号</source>
        <translation>位号</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>温度（℃）</source>
        <translation>温度（℃）</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>表数</source>
        <translation>表数</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>开始采集</source>
        <translation>开始采集</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>总线采集</source>
        <translation>总线采集</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>提示：本页面为云平台远程控制的本地界面，采用RS485接口通信。</source>
        <translation>提示：本页面为云平台远程控制的本地界面，采用RS485接口通信。</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>云平台应当通过串口服务器或者4G接口进行修改</source>
        <translation>云平台应当通过串口服务器或者4G接口进行修改</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>读取量程</source>
        <translation>读取量程</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改量程</source>
        <translation>修改量程</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>读取通信频率</source>
        <translation>读取通信频率</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改通信频率</source>
        <translation>修改通信频率</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>读取SF</source>
        <translation>读取SF</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改SF</source>
        <translation>修改SF</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>读取发射器数量</source>
        <translation>读取发射器数量</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改发射器数量</source>
        <translation>修改发射器数量</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>读取网关ID</source>
        <translation>读取网关ID</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改网关ID</source>
        <translation>修改网关ID</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>读取固件版本</source>
        <translation>读取固件版本</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改固件版本</source>
        <translation>修改固件版本</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>读取采集周期</source>
        <translation>读取采集周期</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改采集周期</source>
        <translation>修改采集周期</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>读取模拟输出</source>
        <translation>读取模拟输出</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>修改模拟输出</source>
        <translation>修改模拟输出</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>平台接口</source>
        <translation>平台接口</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>地域信息：</source>
        <translation>地域信息：</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>写入</source>
        <translation>写入</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>设备属性：</source>
        <translation>设备属性：</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>设备密钥：</source>
        <translation>设备密钥：</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>设备名称：</source>
        <translation>设备名称：</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>阿里云模式</source>
        <translation>阿里云模式</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>通用MQTT模式</source>
        <translation>通用MQTT模式</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>确认</source>
        <translation>确认</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>发布主题：</source>
        <translation>发布主题：</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>订阅主题：</source>
        <translation>订阅主题：</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>连接云平台</source>
        <translation>连接云平台</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>打开平台调试</source>
        <translation>打开平台调试</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>MQTT配置</source>
        <translation>MQTT配置</translation>
    </message>
    <message>
        <location filename="../qwa.ui"/>
        <source>Language English</source>
        <translation>Language English</translation>
    </message>
</context>
</TS>
