'''A pretend NetworkManager for Tornevo's tests and demo (a python-dbusmock template).

It builds on dbusmock's stock "networkmanager" template and adds what a dial-up client meets
on a real system: dial-up profiles whose GetSettings never returns secrets, Update2, a secret
agent manager, and activations that go activating -> (ask the registered agent for the password)
-> activated or deactivated with a reason, after a configurable delay. Lines can be dropped.

Everything it learns (accounts, passwords) stays in this process's memory; passwords are never
printed or logged. Events are printed to stdout, one line each, for the demo.

Parameters (JSON, all optional):
  profiles   list of {"id", "type", and any AddProfile option}
  delay_ms   how long a dial takes (default 1000)

Control methods (interface org.freedesktop.DBus.Mock on /org/freedesktop):
  AddProfile(s id, s type, a{sv} options) -> o
      options: uuid, username, password (stored by the service), password-flags (u),
      bt-type ("dun"/"panu"), vpn-service, vpn-user-key (vpn.data key of the account),
      expect-username, expect-password (a dial with others fails as a refused login)
  SetBehaviour(a{sv})   delay_ms (u), fail_reason (u, 0 = dials succeed),
                        refuse_update (b), refuse_activation (s, a D-Bus error name)
  DropLine(o active, u reason)
  AskAgents(o profile, s setting) -> (b answered, s password or error name)
  GetReceived() -> a(sss)   id, account and password each dial used, in order
  GetUpdates() -> a(su)     uuid and flags of each Update2
  GetDiskWrites() -> as     what would have been written to disk (must stay empty)
  GetEvents() -> as         the printed events
  GetAgents() -> a(ss)      unique name and identifier of each registered agent
'''

import sys
import time
import uuid as uuidlib

import dbus
import dbus.service
from gi.repository import GLib

import dbusmock
from dbusmock import MOCK_IFACE
from dbusmock.templates import networkmanager as stock

BUS_NAME = stock.BUS_NAME
MAIN_OBJ = stock.MAIN_OBJ
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

MANAGER_OBJ = stock.MANAGER_OBJ
MANAGER_IFACE = stock.MANAGER_IFACE
SETTINGS_OBJ = stock.SETTINGS_OBJ
SETTINGS_IFACE = stock.SETTINGS_IFACE
CSETTINGS_IFACE = stock.CSETTINGS_IFACE
ACTIVE_IFACE = stock.ACTIVE_CONNECTION_IFACE
PROPS_IFACE = 'org.freedesktop.DBus.Properties'
AGENT_MANAGER_OBJ = '/org/freedesktop/NetworkManager/AgentManager'
AGENT_MANAGER_IFACE = 'org.freedesktop.NetworkManager.AgentManager'
AGENT_OBJ = '/org/freedesktop/NetworkManager/SecretAgent'
AGENT_IFACE = 'org.freedesktop.NetworkManager.SecretAgent'

ACTIVATING, ACTIVATED, DEACTIVATING, DEACTIVATED = 1, 2, 3, 4
REASON_NONE, REASON_USER, REASON_DEVICE = 1, 2, 3
REASON_NO_SECRETS, REASON_LOGIN_FAILED = 9, 10
AGENT_OWNED, NOT_SAVED, NOT_REQUIRED = 1, 2, 4
GET_SECRETS_ALLOW_INTERACTION, GET_SECRETS_USER_REQUESTED = 0x1, 0x4

SECRET_KEYS = ('password', 'secrets')
DIALUP_SETTING = {'pppoe': 'pppoe', 'adsl': 'adsl', 'gsm': 'gsm', 'cdma': 'cdma'}


class State:  # pylint: disable=too-few-public-methods
    '''What the pretend service knows; memory only.'''
    delay_ms = 1000
    fail_reason = 0
    refuse_update = False
    refuse_activation = ''
    next_active = 1
    next_profile = 1
    agents = {}       # unique name -> identifier
    watches = {}      # unique name -> name-owner watch
    received = []     # (id, account, password)
    updates = []      # (uuid, flags)
    disk_writes = []
    events = []
    timers = {}       # active path -> [GLib source ids]
    active = {}       # active path -> {'profile': path, 'id': ...}


def say(text):
    '''One event line, for the demo and for the tests.'''
    State.events.append(text)
    sys.stdout.write(f'{time.strftime("%H:%M:%S")} {text}\n')
    sys.stdout.flush()


def connection():
    return dbusmock.get_object(MANAGER_OBJ).connection


def secret_place(settings):
    '''(setting, account key, in vpn.data) of a profile's credentials, or None.'''
    ctype = str(settings['connection']['type'])
    if ctype in DIALUP_SETTING:
        return (ctype, 'username', False)
    if ctype == 'bluetooth':
        for mobile in ('gsm', 'cdma'):
            if mobile in settings:
                return (mobile, 'username', False)
        return None
    if ctype == 'vpn':
        data = settings.get('vpn', {}).get('data', {})
        for key in ('username', 'user'):
            if key in data:
                return ('vpn', key, True)
        return ('vpn', 'user-name', False)
    return None


def account_of(settings):
    place = secret_place(settings)
    if not place:
        return ''
    setting, key, in_data = place
    values = settings.get(setting, {})
    if in_data:
        return str(values.get('data', {}).get(key, ''))
    return str(values.get(key, ''))


def password_flags(settings):
    place = secret_place(settings)
    if not place:
        return 0
    setting = place[0]
    if setting == 'vpn':
        return int(settings.get('vpn', {}).get('data', {}).get('password-flags', '0'))
    return int(settings.get(setting, {}).get('password-flags', 0))


def stored_password(settings):
    place = secret_place(settings)
    if not place:
        return ''
    setting = place[0]
    if setting == 'vpn':
        return str(settings.get('vpn', {}).get('secrets', {}).get('password', ''))
    return str(settings.get(setting, {}).get('password', ''))


def without_secrets(settings):
    return {name: {k: v for k, v in values.items() if k not in SECRET_KEYS}
            for name, values in settings.items()}


def has_secrets(settings):
    return any(k in SECRET_KEYS for values in settings.values() for k in values)


def profile_paths():
    return [str(p) for p in dbusmock.get_object(SETTINGS_OBJ).Get(SETTINGS_IFACE, 'Connections')]


# --- profiles -----------------------------------------------------------------------------

def profile_get_settings(self):
    # Like NetworkManager itself: secrets never leave through GetSettings.
    return without_secrets(self.settings)


def profile_update2(self, settings, flags, _args):
    if State.refuse_update:
        raise dbus.exceptions.DBusException(
            'Not authorized to modify this connection',
            name='org.freedesktop.NetworkManager.Settings.PermissionDenied')
    new = {str(name): dict(values) for name, values in settings.items()}
    if not has_secrets(new):
        # NetworkManager keeps the stored secrets when an update brings none.
        for name, values in self.settings.items():
            for key in SECRET_KEYS:
                if key in values and name in new:
                    new[name][key] = values[key]
    self.settings = new
    uuid = str(new['connection']['uuid'])
    State.updates.append((uuid, int(flags)))
    if int(flags) & 0x1:
        State.disk_writes.append(f'profile {uuid}')
    self.UpdateProperties(CSETTINGS_IFACE, {'Unsaved': dbus.Boolean(bool(int(flags) & 0x2))})
    self.EmitSignal(CSETTINGS_IFACE, 'Updated', '', [])
    where = 'in memory' if int(flags) & 0x2 else 'on disk' if int(flags) & 0x1 else 'as is'
    say(f'{new["connection"]["id"]}: profile updated {where}, account {account_of(new)}')
    return dbus.Dictionary({}, signature='sv')


def profile_update(self, settings):
    profile_update2(self, settings, 0x1, {})


def add_profile(mock, conn_id, ctype, options):
    options = dict(options)
    path = f'{SETTINGS_OBJ}/{State.next_profile}'
    State.next_profile += 1
    settings = {
        'connection': {'id': dbus.String(conn_id), 'type': dbus.String(ctype),
                       'uuid': dbus.String(options.get('uuid', str(uuidlib.uuid4()))),
                       'autoconnect': dbus.Boolean(False)},
        'ipv4': {'method': 'auto', 'dns': dbus.Array([], signature='u'),
                 'address-data': dbus.Array([], signature='a{sv}')},
    }
    user = options.get('username')
    secret = options.get('password')
    flags = options.get('password-flags')
    if ctype in DIALUP_SETTING:
        setting = {}
        if ctype == 'gsm':
            setting['apn'] = dbus.String('internet')
        if ctype == 'cdma':
            setting['number'] = dbus.String('#777')
        settings[ctype] = setting
    elif ctype == 'bluetooth':
        settings['bluetooth'] = {'type': dbus.String(options.get('bt-type', 'dun')),
                                 'bdaddr': dbus.ByteArray(b'\x00\x11\x22\x33\x44\x55')}
        if options.get('bt-type', 'dun') == 'dun':
            settings['gsm'] = {'apn': dbus.String('internet')}
    elif ctype == 'vpn':
        data = {'gateway': 'vpn.example'}
        if 'vpn-user-key' in options:
            data[str(options['vpn-user-key'])] = str(user or '')
        if flags is not None:
            data['password-flags'] = str(int(flags))
        settings['vpn'] = {'service-type': dbus.String(options.get(
            'vpn-service', 'org.freedesktop.NetworkManager.pptp')),
            'data': dbus.Dictionary(data, signature='ss')}
        if user is not None and 'vpn-user-key' not in options:
            settings['vpn']['user-name'] = dbus.String(user)
        if secret:
            settings['vpn']['secrets'] = dbus.Dictionary({'password': secret}, signature='ss')
    place = secret_place(settings)
    if place and place[0] != 'vpn':
        values = settings[place[0]]
        if user is not None:
            values['username'] = dbus.String(user)
        if secret:
            values['password'] = dbus.String(secret)
        if flags is not None:
            values['password-flags'] = dbus.UInt32(flags)

    mock.AddObject(path, CSETTINGS_IFACE,
                   {'Unsaved': False, 'Flags': dbus.UInt32(0), 'Filename': ''},
                   [('GetSettings', '', 'a{sa{sv}}', 'ret = self.tnv_get_settings(self)'),
                    ('Update2', 'a{sa{sv}}ua{sv}', 'a{sv}',
                     'ret = self.tnv_update2(self, args[0], args[1], args[2])'),
                    ('Update', 'a{sa{sv}}', '', 'self.tnv_update(self, args[0])')])
    obj = dbusmock.get_object(path)
    obj.settings = settings
    obj.connection_path = path
    obj.expect = (options.get('expect-username'), options.get('expect-password'))
    obj.tnv_get_settings = profile_get_settings
    obj.tnv_update2 = profile_update2
    obj.tnv_update = profile_update
    mock.object_manager_emit_added(path)

    settings_obj = dbusmock.get_object(SETTINGS_OBJ)
    paths = settings_obj.Get(SETTINGS_IFACE, 'Connections')
    paths.append(dbus.ObjectPath(path))
    settings_obj.Set(SETTINGS_IFACE, 'Connections', paths)
    settings_obj.EmitSignal(SETTINGS_IFACE, 'NewConnection', 'o', [path])
    return path


# --- active connections ---------------------------------------------------------------------

def cancel_timers(path):
    for source in State.timers.pop(path, []):
        GLib.source_remove(source)


def later(path, ms, func, *args):
    def run():
        sources = State.timers.get(path, [])
        if source_id[0] in sources:
            sources.remove(source_id[0])
        func(*args)
        return False
    source_id = [GLib.timeout_add(ms, run)]
    State.timers.setdefault(path, []).append(source_id[0])


def set_state(path, state, reason):
    obj = dbusmock.get_object(path)
    obj.props[ACTIVE_IFACE]['State'] = dbus.UInt32(state)
    obj.EmitSignal(ACTIVE_IFACE, 'StateChanged', 'uu', [dbus.UInt32(state), dbus.UInt32(reason)])
    obj.EmitSignal(PROPS_IFACE, 'PropertiesChanged', 'sa{sv}as',
                   [ACTIVE_IFACE, {'State': dbus.UInt32(state, variant_level=1)}, []])
    if state == DEACTIVATED:
        cancel_timers(path)
        State.active.pop(path, None)
        manager = dbusmock.get_object(MANAGER_OBJ)
        paths = manager.Get(MANAGER_IFACE, 'ActiveConnections')
        if dbus.ObjectPath(path) in paths:
            paths.remove(dbus.ObjectPath(path))
            manager.Set(MANAGER_IFACE, 'ActiveConnections', paths)
        manager.object_manager_emit_removed(path)
        manager.RemoveObject(path)


def activate(manager, conn, _device, _specific):
    conn = str(conn)
    if conn not in profile_paths():
        raise dbus.exceptions.DBusException(
            f'Connection {conn} does not exist',
            name='org.freedesktop.NetworkManager.UnknownConnection')
    if State.refuse_activation:
        raise dbus.exceptions.DBusException('Activation refused', name=State.refuse_activation)
    profile = dbusmock.get_object(conn)
    settings = profile.settings
    conn_id = str(settings['connection']['id'])
    for old, info in list(State.active.items()):
        if info['profile'] == conn:
            set_state(old, DEACTIVATED, REASON_NONE)

    # Never reused, as with the real service.
    path = f'/org/freedesktop/NetworkManager/ActiveConnection/{State.next_active}'
    State.next_active += 1
    ctype = str(settings['connection']['type'])
    manager.AddObject(path, ACTIVE_IFACE, {
        'Id': dbus.String(conn_id), 'Uuid': dbus.String(settings['connection']['uuid']),
        'Type': dbus.String(ctype), 'State': dbus.UInt32(ACTIVATING),
        'StateFlags': dbus.UInt32(0), 'Connection': dbus.ObjectPath(conn),
        'SpecificObject': dbus.ObjectPath('/'), 'Devices': dbus.Array([], signature='o'),
        'Vpn': dbus.Boolean(ctype == 'vpn'), 'Default': False, 'Default6': False,
        'Master': dbus.ObjectPath('/')}, [])
    manager.object_manager_emit_added(path)
    paths = manager.Get(MANAGER_IFACE, 'ActiveConnections')
    paths.append(dbus.ObjectPath(path))
    manager.Set(MANAGER_IFACE, 'ActiveConnections', paths)
    State.active[path] = {'profile': conn, 'id': conn_id}
    say(f'{conn_id}: dialling as {account_of(settings) or "(no account)"}')

    later(path, 0, set_state, path, ACTIVATING, REASON_NONE)
    later(path, State.delay_ms // 2, authenticate, path)
    return dbus.ObjectPath(path)


def authenticate(path):
    info = State.active.get(path)
    if info is None:
        return
    profile = dbusmock.get_object(info['profile'])
    settings = profile.settings
    flags = password_flags(settings)
    stored = stored_password(settings)
    if flags & NOT_REQUIRED or (stored and not flags & (AGENT_OWNED | NOT_SAVED)):
        finish(path, stored)
        return
    place = secret_place(settings)
    if place is None:
        finish(path, '')
        return
    ask_agents(info['profile'], place[0],
               lambda password: got_password(path, flags, password),
               lambda error: no_password(path, error))


def got_password(path, flags, password):
    info = State.active.get(path)
    if info is None:
        return
    if not flags & (AGENT_OWNED | NOT_SAVED):
        # What NetworkManager does with a system-owned secret an agent hands over.
        State.disk_writes.append(f'secret of {info["id"]}')
    say(f'{info["id"]}: the agent gave a password ({len(password)} characters)')
    later(path, max(0, State.delay_ms - State.delay_ms // 2), finish, path, password)


def no_password(path, error):
    info = State.active.get(path)
    if info is None:
        return
    say(f'{info["id"]}: no password from any agent ({error})')
    State.received.append((info['id'], account_of(dbusmock.get_object(info['profile']).settings), ''))
    fail(path, REASON_NO_SECRETS)


def finish(path, password):
    info = State.active.get(path)
    if info is None:
        return
    settings = dbusmock.get_object(info['profile']).settings
    account = account_of(settings)
    State.received.append((info['id'], account, password))
    want_user, want_password = dbusmock.get_object(info['profile']).expect
    if State.fail_reason:
        fail(path, State.fail_reason)
    elif (want_user is not None and want_user != account) or \
            (want_password is not None and want_password != password):
        fail(path, REASON_LOGIN_FAILED)
    else:
        set_state(path, ACTIVATED, REASON_NONE)
        say(f'{info["id"]}: connected')


def fail(path, reason):
    info = State.active.get(path)
    if info is None:
        return
    set_state(path, DEACTIVATED, reason)
    say(f'{info["id"]}: dial failed, reason {reason}')


def deactivate(_manager, active):
    active = str(active)
    info = State.active.get(active)
    if info is None:
        raise dbus.exceptions.DBusException(
            'Not an active connection', name='org.freedesktop.NetworkManager.ConnectionNotActive')
    cancel_timers(active)
    set_state(active, DEACTIVATING, REASON_USER)
    say(f'{info["id"]}: hung up by the program')
    later(active, 10, set_state, active, DEACTIVATED, REASON_USER)


# --- secret agents ------------------------------------------------------------------------

def ask_agents(profile_path, setting, on_password, on_error, agents=None):
    '''Asks each registered agent in turn, as NetworkManager does.'''
    agents = list(State.agents) if agents is None else agents
    if not agents:
        on_error('no agent registered')
        return
    sender, rest = agents[0], agents[1:]
    settings = without_secrets(dbusmock.get_object(profile_path).settings)

    def reply(secrets):
        values = secrets.get(setting, {})
        password = values.get('password')
        if password is None and 'secrets' in values:
            password = values['secrets'].get('password')
        if password:
            on_password(str(password))
        else:
            ask_agents(profile_path, setting, on_password, on_error, rest)

    def error(exc):
        if rest:
            ask_agents(profile_path, setting, on_password, on_error, rest)
        else:
            on_error(exc.get_dbus_name() if hasattr(exc, 'get_dbus_name') else str(exc))

    connection().call_async(
        sender, AGENT_OBJ, AGENT_IFACE, 'GetSecrets', 'a{sa{sv}}osasu',
        (settings, dbus.ObjectPath(profile_path), setting, dbus.Array([], signature='s'),
         dbus.UInt32(GET_SECRETS_ALLOW_INTERACTION | GET_SECRETS_USER_REQUESTED)),
        reply, error, timeout=10)


class AgentManager(dbus.service.Object):
    '''Keeps track of who offers passwords, like NetworkManager's agent manager.'''

    # dbusmock looks methods up here first, then the dbus-python way.
    methods = {}
    interface = AGENT_MANAGER_IFACE

    @dbus.service.method(AGENT_MANAGER_IFACE, in_signature='s', sender_keyword='sender')
    def Register(self, identifier, sender=None):
        self._register(identifier, sender)

    @dbus.service.method(AGENT_MANAGER_IFACE, in_signature='su', sender_keyword='sender')
    def RegisterWithCapabilities(self, identifier, _capabilities, sender=None):
        self._register(identifier, sender)

    @dbus.service.method(AGENT_MANAGER_IFACE, in_signature='', sender_keyword='sender')
    def Unregister(self, sender=None):
        State.agents.pop(sender, None)

    @staticmethod
    def _register(identifier, sender):
        if sender in State.agents or str(identifier) in State.agents.values():
            raise dbus.exceptions.DBusException(
                'An agent with this ID is already registered',
                name='org.freedesktop.NetworkManager.AgentManager.PermissionDenied')
        State.agents[sender] = str(identifier)

        def gone(owner):
            if not owner:
                State.agents.pop(sender, None)
                watch = State.watches.pop(sender, None)
                if watch:
                    watch.cancel()
        State.watches[sender] = connection().watch_name_owner(sender, gone)
        say(f'secret agent {identifier} registered')


# --- control methods ----------------------------------------------------------------------

@dbus.service.method(MOCK_IFACE, in_signature='ssa{sv}', out_signature='o')
def AddProfile(self, conn_id, ctype, options):
    return dbus.ObjectPath(add_profile(self, str(conn_id), str(ctype), options))


@dbus.service.method(MOCK_IFACE, in_signature='a{sv}', out_signature='')
def SetBehaviour(_self, options):
    if 'delay_ms' in options:
        State.delay_ms = int(options['delay_ms'])
    if 'fail_reason' in options:
        State.fail_reason = int(options['fail_reason'])
    if 'refuse_update' in options:
        State.refuse_update = bool(options['refuse_update'])
    if 'refuse_activation' in options:
        State.refuse_activation = str(options['refuse_activation'])


@dbus.service.method(MOCK_IFACE, in_signature='ou', out_signature='')
def DropLine(_self, active, reason):
    active = str(active)
    info = State.active.get(active)
    if info is None:
        raise dbus.exceptions.DBusException('Not an active connection',
                                            name='org.freedesktop.NetworkManager.ConnectionNotActive')
    say(f'{info["id"]}: line dropped, reason {int(reason)}')
    set_state(active, DEACTIVATED, int(reason))


@dbus.service.method(MOCK_IFACE, in_signature='os', out_signature='bs',
                     async_callbacks=('done', 'failed'))
def AskAgents(_self, profile, setting, done, failed):
    try:
        ask_agents(str(profile), str(setting), lambda p: done(True, p), lambda e: done(False, e))
    except Exception as exc:  # pylint: disable=broad-except
        failed(exc)


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='a(sss)')
def GetReceived(_self):
    return dbus.Array(State.received, signature='(sss)')


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='a(su)')
def GetUpdates(_self):
    return dbus.Array(State.updates, signature='(su)')


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='as')
def GetDiskWrites(_self):
    return dbus.Array(State.disk_writes, signature='s')


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='as')
def GetEvents(_self):
    return dbus.Array(State.events, signature='s')


@dbus.service.method(MOCK_IFACE, in_signature='', out_signature='a(ss)')
def GetAgents(_self):
    return dbus.Array(list(State.agents.items()), signature='(ss)')


def load(mock, parameters):
    stock.load(mock, parameters)
    manager = dbusmock.get_object(MANAGER_OBJ)
    manager.activate_connection = activate
    manager.deactivate_connection = deactivate
    AgentManager(mock.bus_name, AGENT_MANAGER_OBJ)
    State.delay_ms = int(parameters.get('delay_ms', State.delay_ms))
    for profile in parameters.get('profiles', []):
        options = {k: v for k, v in profile.items() if k not in ('id', 'type')}
        add_profile(mock, profile['id'], profile.get('type', 'pppoe'), options)
    say('NetworkManager (pretend) ready')
