/* The worker's lifecycle between the host's gauge thread, the sampling
 * worker and the thread that delivers pause messages. Each step names the
 * function of src/ it stands for. Values are abstracted away: one point,
 * resources are small numbers (0 is null), sessions 1 and 2 (a load and a
 * reload of the same still-mapped instance).
 * Switches: GUARD_IN_WORKER (the worker raises workerRunning itself),
 * NO_DEINIT_WAIT (deinit neither asks nor waits), NO_MODULE_REF (the
 * thread holds no reference to its module), RUNTIME_THREAD_REF (the thread
 * is started by a C runtime that also takes a reference, dropped only when
 * the start routine returns, which FreeLibraryAndExitThread never lets it
 * do: the Universal CRT's _beginthreadex), UNBOUNDED_WAIT (deinit waits
 * for the worker without a bound), RESET_WORKER_GUARD (init resets the
 * worker's fields even while a worker that deinit gave up on still runs),
 * LIVENESS (the temporal claim). */

#define NW 3                 /* worker threads over the whole run */
#define kNoWorker 0
#define kSampling 1
#define kEnded 2
#define kAbandoned 3

/* ModuleState */
byte workerRunning, stopRequested, owner, pauseFlag;
byte points, quitEvent, surface, workerThread;
byte leftPoints, leftEvent, leftSurface;
/* what the host and the kernel know */
bool tableAlive[3], surfaceHeld[3], handleOpen[3], threadOpen[NW + 1], threadExited[NW + 1];
byte eventHandles; bool eventSignalled;  /* the one kernel object "QuitEvent" */
byte moduleRefs; bool mapped;
bool deinitReturned[3]; byte session;
bool inDeinit;                /* the host's gauge thread is inside module_deinit */
bool subscribed, deliveryBusy, callbackAlive;
byte sampling;               /* workers between their first and last cycle step */
byte nextWorker = 1;
bool stopArmed; byte cyclesAfterStop;  /* cycles begun since a disconnect reached a running worker */
byte lateWorker;             /* a worker inside a host call that outlasts deinit's bound */

inline host_call(me, mySession, late) {
    assert(mapped);
    assert(!deinitReturned[mySession]);          /* property 4 */
    if
    :: lateWorker == 0 -> lateWorker = me; late = true
    :: true -> late = false
    fi;
    if
    :: late -> goto end_hung                     /* never returns */
    :: late -> skip                              /* returns after the bound */
    :: !late -> skip
    fi;
    if :: lateWorker == me -> lateWorker = 0 :: else -> skip fi;
    assert(mapped)                               /* property 3: code still mapped on return */
}

inline release_module_reference() {
    moduleRefs--;
    if :: moduleRefs == 0 -> unload_release(); mapped = false :: else -> skip fi
}

/* ~UnloadRelease in module_init.cpp */
inline unload_release() {
    if
    :: workerRunning == 0 ->
        if :: surface != 0 -> assert(surfaceHeld[surface]); surfaceHeld[surface] = false; surface = 0 :: else -> skip fi;
        if :: points != 0 -> assert(tableAlive[points]); tableAlive[points] = false; points = 0 :: else -> skip fi;
        if :: quitEvent != 0 -> close_event(quitEvent); quitEvent = 0 :: else -> skip fi;
        if :: workerThread != 0 -> threadOpen[workerThread] = false; workerThread = 0 :: else -> skip fi
    :: else -> skip
    fi
}

inline close_event(h) {
    assert(handleOpen[h]);                       /* property 6: closed once */
    handleOpen[h] = false; eventHandles--;
    if :: eventHandles == 0 -> eventSignalled = false :: else -> skip fi
}

/* release_leftovers() and finish() in sampler_worker.cpp */
inline finish(me) {
    atomic {
        sampling--; stopArmed = false; cyclesAfterStop = 0;
        if
        :: owner == kAbandoned ->
            owner = kEnded;
            if :: leftSurface != 0 -> assert(surfaceHeld[leftSurface]); surfaceHeld[leftSurface] = false :: else -> skip fi;
            if :: leftPoints != 0 -> assert(tableAlive[leftPoints]); tableAlive[leftPoints] = false :: else -> skip fi;
            if :: leftEvent != 0 -> close_event(leftEvent) :: else -> skip fi;
            leftSurface = 0; leftPoints = 0; leftEvent = 0
        :: else -> owner = kEnded
        fi
    }
    assert(mapped);
    workerRunning = 0
}

proctype Worker(byte me; byte mySession) {
    byte mySurface, table, h; bool late, signalled;
    assert(mapped);
#ifdef GUARD_IN_WORKER
    workerRunning = 1;
#endif
    atomic { sampling++; assert(sampling == 1) }          /* property 1 */
    mySurface = surface;                                  /* sampler_worker_main: load(surface) */
    if :: mySurface == 0 -> goto done :: else -> skip fi;
cycle:
    atomic { if :: stopArmed -> cyclesAfterStop++; assert(cyclesAfterStop <= 1) :: else -> skip fi }   /* property 5 */
    host_call(me, mySession, late);                       /* run_cycle: read_control(WZ_Active) */
    if :: stopRequested -> goto done :: else -> skip fi;  /* read_control: stop_requested() */
    assert(!deinitReturned[mySession]);                   /* property 7: the value lands in its own session's record */
    if
    :: pauseFlag == 0 ->
        table = points;                                   /* run_cycle: load(points) */
        assert(table == 0 || tableAlive[table]);          /* property 2 */
        if
        :: table != 0 ->
            assert(tableAlive[table]);                    /* sample_point: the point's ids */
            host_call(me, mySession, late);               /* sample_point: get_typed lon, alt, lat */
            if :: stopRequested -> goto done :: else -> skip fi;
            assert(surfaceHeld[mySurface]);               /* property 2 */
            host_call(me, mySession, late);               /* sample_point: QueryElevation */
            if :: stopRequested -> goto done :: else -> skip fi;
            host_call(me, mySession, late);               /* sample_point: set_typed elevation */
            if :: stopRequested -> goto done :: else -> skip fi
        :: else -> skip
        fi
    :: else -> skip
    fi;
    host_call(me, mySession, late);                       /* sampler_worker_main: read_control(WZ_UpdateInterval) */
    if :: stopRequested -> goto done :: else -> skip fi;  /* read_control: stop_requested() */
    assert(!deinitReturned[mySession]);                   /* property 7 */
    h = quitEvent;                                        /* wait_event(load(quitEvent)) */
    assert(h == 0 || handleOpen[h]);                      /* property 2 */
    if
    :: h == 0 -> goto done                                /* kWaitFailed */
    :: atomic { h != 0 && eventSignalled -> eventSignalled = false; signalled = true }
    :: atomic { h != 0 && !eventSignalled -> signalled = false }   /* the time-out */
    fi;
    if :: signalled || stopRequested -> goto done :: else -> skip fi;
    mySurface = surface;                                  /* surface = load(g_module.surface) */
    if :: mySurface == 0 -> goto done :: else -> skip fi; /* run_cycle skips; ends at its next wait */
    goto cycle;
end_hung:
    (false);                                             /* the host's call never returns: no fault of ours */
done:
    finish(me);
    /* run_thread: FreeLibraryAndExitThread */
    atomic {
#ifndef NO_MODULE_REF
        release_module_reference();
#endif
        threadExited[me] = true
    }
}

/* reap_worker() */
inline reap_worker() {
    if
    :: workerThread != 0 && threadExited[workerThread] -> threadOpen[workerThread] = false; workerThread = 0
    :: else -> skip
    fi
}

/* start_worker() */
inline start_worker() {
#ifndef GUARD_IN_WORKER
    if
    :: workerRunning == 0 ->
        workerRunning = 1;
#else
    if
    :: workerRunning == 0 ->
#endif
        reap_worker();
        if
#ifndef GUARD_IN_WORKER
        :: workerThread != 0 -> workerRunning = 0
        :: else ->
#else
        :: true ->                                        /* the handle is not kept */
#endif
            stopRequested = 0; owner = kSampling;
            if
            :: nextWorker <= NW ->
                workerThread = nextWorker; threadOpen[nextWorker] = true;
#ifndef NO_MODULE_REF
                moduleRefs++;                             /* os::start_thread: the module reference, then CreateThread */
#endif
#ifdef RUNTIME_THREAD_REF
                moduleRefs++;                             /* _beginthreadex's own, never dropped */
#endif
                run Worker(nextWorker, session); nextWorker++
            :: else -> owner = kNoWorker; workerRunning = 0   /* start fails */
            fi
        fi
    :: else -> skip
    fi
}

/* update() in sampler_gauge.cpp, code 6 */
inline update() {
    if
    :: quitEvent == 0 ->
        if
        :: atomic { handleOpen[session] = true; eventHandles++; quitEvent = session }   /* os::create_event */
        :: skip                                           /* CreateEventA fails */
        fi
    :: else -> skip
    fi;
    if :: points == 0 -> points = session; tableAlive[session] = true :: else -> skip fi;
    if :: workerRunning == 0 && points != 0 -> start_worker() :: else -> skip fi
}

/* code 15 */
inline disconnect() {
    assert(quitEvent == 0 || handleOpen[quitEvent]);
    atomic { if :: quitEvent != 0 -> eventSignalled = true; if :: !stopArmed -> stopArmed = (sampling > 0); cyclesAfterStop = 0 :: else -> skip fi :: else -> skip fi }
}

/* stop_worker(): an ended worker's thread is waited for; abandon_worker()
 * when the wait for a sampling one times out */
inline stop_worker() {
    if
    :: owner == kEnded ->
        (workerThread == 0 || threadExited[workerThread]);   /* wait_thread: an ended worker makes no host call */
        reap_worker()
    :: owner != kSampling && owner != kEnded -> reap_worker()
    :: else ->
        stopRequested = 1;
        if :: quitEvent != 0 -> assert(handleOpen[quitEvent]); eventSignalled = true :: else -> skip fi;
        if
        :: threadExited[workerThread] -> reap_worker()
#ifndef UNBOUNDED_WAIT
        :: atomic { lateWorker == workerThread && !threadExited[workerThread] ->     /* the bound runs out */
            leftPoints = points; leftEvent = quitEvent; leftSurface = surface;
            if
            :: owner == kSampling -> owner = kAbandoned; points = 0; quitEvent = 0; surface = 0
            :: else -> leftPoints = 0; leftEvent = 0; leftSurface = 0
            fi }
#endif
        fi
    fi
}

/* module_deinit() */
inline module_deinit() {
    inDeinit = true;
#ifndef NO_DEINIT_WAIT
    stop_worker();
#endif
    atomic { !deliveryBusy -> subscribed = false };      /* stop_pause_tracking: Unsubscribe waits for a delivery */
    callbackAlive = false;
    if :: surface != 0 -> surfaceHeld[surface] = false; surface = 0 :: else -> skip fi;
    if :: quitEvent != 0 -> close_event(quitEvent); quitEvent = 0 :: else -> skip fi;
    if :: points != 0 -> tableAlive[points] = false; points = 0 :: else -> skip fi;
    deinitReturned[session] = true;
    inDeinit = false
}

/* begin_worker_session() */
inline begin_worker_session() {
    reap_worker();
    if
    :: workerThread != 0 ->                               /* a worker deinit gave up on still runs */
#ifdef RESET_WORKER_GUARD
        workerRunning = 0; stopRequested = 0; owner = kNoWorker
#else
        skip
#endif
    :: else -> workerRunning = 0; stopRequested = 0; owner = kNoWorker
    fi
}

/* module_init(): begin_session(), then what init acquires */
inline module_init() {
    pauseFlag = 0;
    begin_worker_session();
    if
    :: surface = session; surfaceHeld[session] = true; callbackAlive = true; subscribed = true
    :: skip                                               /* the surface service is refused */
    fi
}

/* Once every thread has ended, every reference came back exactly once.
 * Declared before every other process: Spin removes an ended process only
 * once every process started after it has gone, so the count of processes
 * falls to 1 only for the first one started. */
active proctype Ledger() {
end: (_nr_pr == 1) ->
    assert(!mapped && moduleRefs == 0);
    assert(!surfaceHeld[1] && !surfaceHeld[2] && !tableAlive[1] && !tableAlive[2]);
    assert(!handleOpen[1] && !handleOpen[2] && eventHandles == 0)
}

/* The liveness run bounds the messages: a host that delivered them back to
 * back forever would starve Unsubscribe, which weak fairness cannot rule
 * out and no real host does. */
#ifdef LIVENESS
byte delivered;
#define more_messages (delivered < 3)
#define count_message delivered++
#else
#define more_messages true
#define count_message skip
#endif
active proctype Pause() {
    do
    :: atomic { subscribed && !deliveryBusy && more_messages -> deliveryBusy = true; count_message };
       assert(callbackAlive && mapped);                   /* HandleMessage */
       pauseFlag = 1 - pauseFlag;
       assert(!deinitReturned[session]);                  /* panel::set(FSSimIsPaused) */
       deliveryBusy = false
    :: break
    od
}

active proctype Host() {
    byte steps;
    do
    :: session < 2 ->
        session++;
        atomic {
            if :: !mapped -> mapped = true :: else -> skip fi;   /* LoadLibrary: the same instance while mapped */
            moduleRefs++
        }
        module_init();
        steps = 0;
        do
        :: steps < 3 -> steps++; update()
        :: steps < 3 -> steps++; disconnect()
        :: break
        od;
        module_deinit();
        atomic { release_module_reference() }              /* FreeLibrary */
    :: else -> break
    od
}

#ifdef LIVENESS
/* Deinit returns, however late the worker's host calls return or whether
 * they return at all: its one wait is bounded. */
ltl deinit_returns { [] (inDeinit -> <> !inDeinit) }
#endif
